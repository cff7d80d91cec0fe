#include "SocketFlush.h"

#include "net/Winsock.h"

#include <QElapsedTimer>
#include <QPointer>

namespace client {

void SendThenClose(net::Winsock& socket, const QByteArray& word, int limitMs) {
    QPointer<net::Winsock> guard(&socket);
    if (socket.sendData(word) >= 0) {
        QElapsedTimer waited;
        waited.start();
        while (guard && guard->state() == net::Winsock::State::Connected && guard->bytesToWrite() > 0 &&
               waited.elapsed() < limitMs)
            net::DoEvents();
    }
    if (guard)
        guard->close();
}

} // namespace client
