// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/transport/RelayServer.h"

#include "bench/transport/RelayRoom.h"
#include "net/EpollTransport.h"
#include "net/Winsock.h"

#include <QCoreApplication>
#include <memory>
#include <unistd.h>
#include <vector>

namespace transportbench {

namespace {

void tellPort(int pipe, quint16 port) {
    const std::string text = std::to_string(port) + '\n';
    if (::write(pipe, text.data(), text.size()) != ssize_t(text.size()))
        _exit(1);
    ::close(pipe);
}

int serveEpoll(int portPipe) {
    net::EpollTransport transport;
    RelayRoom room([&](int slot, const char* data, std::size_t size) { transport.send(slot, data, size); });
    int nextSlot = 1;
    std::string scratch; // one read buffer for every connection, as the server keeps it
    QObject::connect(&transport, &net::ServerTransport::ConnectionRequest, [&](qintptr id) {
        if (transport.accept(id, nextSlot))
            room.opened(nextSlot++);
    });
    QObject::connect(&transport, &net::ServerTransport::DataArrival, [&](int slot) {
        scratch.clear();
        transport.readInto(slot, scratch);
        room.arrived(slot, scratch.data(), scratch.size());
    });
    QObject::connect(&transport, &net::ServerTransport::Close, [&](int slot) { room.closed(slot); });
    if (!transport.listen(0, nullptr))
        return 1;
    tellPort(portPipe, transport.localPort());
    return QCoreApplication::exec();
}

int serveWinsock(int portPipe) {
    net::Winsock listener;
    std::vector<std::unique_ptr<net::Winsock>> sockets(1);
    RelayRoom room([&](int slot, const char* data, std::size_t size) {
        sockets[std::size_t(slot)]->sendData(data, qint64(size));
    });
    QObject::connect(&listener, &net::Winsock::ConnectionRequest, [&](qintptr id) {
        const int slot = int(sockets.size());
        auto socket = std::make_unique<net::Winsock>();
        if (!socket->accept(id))
            return;
        net::Winsock* s = socket.get();
        QObject::connect(s, &net::Winsock::DataArrival, [&, s, slot](qint64) {
            const QByteArray bytes = s->getData();
            room.arrived(slot, bytes.constData(), std::size_t(bytes.size()));
        });
        QObject::connect(s, &net::Winsock::Close, [&, slot] { room.closed(slot); });
        sockets.push_back(std::move(socket));
        room.opened(slot);
    });
    listener.setLocalPort(0);
    if (!listener.listen())
        return 1;
    tellPort(portPipe, listener.localPort());
    return QCoreApplication::exec();
}

} // namespace

int RunRelayServer(const std::string& transport, int portPipe) {
    int argc = 1;
    char name[] = "zindle_transport_relay";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    return transport == "epoll" ? serveEpoll(portPipe) : serveWinsock(portPipe);
}

} // namespace transportbench
