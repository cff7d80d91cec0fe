// SPDX-License-Identifier: GPL-3.0-or-later
// The connection table's first-byte switch and its TLS arrival path under an
// arbitrary peer on loopback: the bytes come in pieces of any size, then the
// peer closes or stays. Whatever it sends, a connection that opened with a TLS
// handshake byte never hands the slot a byte before a handshake that no such
// peer can finish, a plaintext one hands over exactly what was sent, the peer's
// end is reported once, and nothing stays counted as unsent.
#include "FuzzCheck.h"
#include "net/EpollTransport.h"
#include "net/SelfSignedCertificate.h"
#include "net/TlsContext.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <arpa/inet.h>
#include <fuzzer/FuzzedDataProvider.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

QCoreApplication& App() {
    static int argc = 1;
    static char name[] = "fuzz_tls_arrival";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

std::shared_ptr<net::TlsContext> Context() {
    static std::shared_ptr<net::TlsContext> context = [] {
        const QString dir = QDir::tempPath() + QStringLiteral("/fuzz_tls_arrival-%1").arg(::getpid());
        QDir().mkpath(dir);
        const QString cert = dir + QStringLiteral("/c.pem"), key = dir + QStringLiteral("/k.pem");
        QFile::remove(cert);
        QFile::remove(key);
        QString error;
        net::MakeSelfSignedCertificate(cert, key, QStringLiteral("fuzz"), &error);
        auto loaded = net::TlsContext::Load(cert, key, &error);
        QFile::remove(cert);
        QFile::remove(key);
        QDir().rmdir(dir);
        return loaded;
    }();
    return context;
}

// Lets the transport work until cond() holds or a short time passed.
template <typename Cond> void Pump(Cond cond, int ms = 200) {
    QElapsedTimer timer;
    timer.start();
    while (!cond() && timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

int Connect(quint16 port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    App();
    FuzzedDataProvider in(data, size);
    net::EpollTransport transport;
    transport.setLingerMs(0);
    const bool tlsOn = in.ConsumeBool();
    if (tlsOn)
        transport.setTlsContext(Context());
    if (!transport.listen(0, nullptr))
        return 0;
    int arrivals = 0, closes = 0;
    std::string received;
    QObject::connect(&transport, &net::ServerTransport::ConnectionRequest,
                     [&](qintptr id) { transport.accept(id, 1); });
    QObject::connect(&transport, &net::ServerTransport::DataArrival, [&](int slot) {
        ++arrivals;
        transport.readInto(slot, received);
    });
    QObject::connect(&transport, &net::ServerTransport::Close, [&](int) { ++closes; });

    const int fd = Connect(transport.localPort());
    if (fd < 0)
        return 0;
    Pump([&] { return transport.connectionCount() == 1; });
    const bool handshakeFirst = in.ConsumeBool();
    std::string sent = handshakeFirst ? std::string("\x16\x03\x01", 3) : std::string();
    sent += in.ConsumeRemainingBytesAsString();
    const bool staysOpen = !sent.empty() && (sent.back() & 1);
    bool ended = false;
    for (std::size_t at = 0; at < sent.size() && !ended;) {
        const std::size_t piece = std::min<std::size_t>(sent.size() - at, 1 + (sent[at] & 0x3F) * 7);
        ended = ::send(fd, sent.data() + at, piece, MSG_NOSIGNAL) <= 0;
        at += piece;
        Pump([] { return false; }, 2);
    }
    if (!staysOpen)
        ::shutdown(fd, SHUT_WR);
    Pump([&] { return closes > 0 || (!staysOpen && received.size() >= sent.size()); });

    const bool tlsHandshake = !sent.empty() && static_cast<unsigned char>(sent[0]) == 0x16;
    FUZZ_REQUIRE(closes <= 1);
    if (tlsHandshake) {
        FUZZ_REQUIRE(arrivals == 0 && received.empty()); // nothing before a finished handshake
        FUZZ_REQUIRE(!transport.isEncrypted(1));
        if (!tlsOn) // refused at once
            FUZZ_REQUIRE(closes == 1);
    } else if (!sent.empty() && !ended) {
        FUZZ_REQUIRE(received == sent.substr(0, received.size()));
    }
    ::close(fd);
    Pump([&] { return closes > 0; }, 50);
    transport.abort(1);
    FUZZ_REQUIRE(transport.totalUnsentBytes() == 0);
    return 0;
}
