// SPDX-License-Identifier: GPL-3.0-or-later
#include "SocketFlush.h"

#include "net/Winsock.h"

namespace client {

void SendThenClose(net::Winsock& socket, const QByteArray& word) {
    if (socket.state() == net::Winsock::State::Connected)
        socket.sendData(word);
    socket.close();
}

} // namespace client
