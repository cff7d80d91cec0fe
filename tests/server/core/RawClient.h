// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A test client that speaks raw bytes to the server on 127.0.0.1: it sends what
// it is told and collects every NUL-terminated message it receives. Every wait is
// bounded.
#include "tests/support/EventWait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSslSocket>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace testing_support {

// Pumps events until pred() holds or ms milliseconds passed.
inline bool WaitFor(const std::function<bool()>& pred, int ms = 3000) {
    return zindletest::WaitUntil(pred, ms);
}

// Lets events run for ms milliseconds (to show that something does NOT arrive).
inline void Settle(int ms = 150) {
    zindletest::Pump(ms);
}

inline std::string Cmd(std::string_view body) {
    return std::string("\xFF\xFF", 2) + std::string(body);
}

class RawClient {
public:
    RawClient() {
        QObject::connect(&socket_, &QTcpSocket::readyRead, [this] { Collect(); });
        QObject::connect(&socket_, &QTcpSocket::disconnected, [this] { closed_ = true; });
    }

    bool Connect(quint16 port, int ms = 3000, const QString& host = QStringLiteral("127.0.0.1")) {
        socket_.connectToHost(host, port);
        return WaitFor([this] { return socket_.state() == QAbstractSocket::ConnectedState; }, ms);
    }

    // The same over TLS, trusting whatever certificate the server shows; true
    // once the handshake is done.
    bool ConnectTls(quint16 port, int ms = 3000) {
        socket_.setPeerVerifyMode(QSslSocket::VerifyNone);
        socket_.connectToHostEncrypted(QStringLiteral("127.0.0.1"), port);
        WaitFor(
            [this] {
                return socket_.isEncrypted() || socket_.error() != QAbstractSocket::UnknownSocketError;
            },
            ms);
        return socket_.isEncrypted();
    }
    // SHA-256 of the certificate the server showed, as "AB:CD:...".
    std::string PeerFingerprint() const {
        return socket_.peerCertificate()
            .digest(QCryptographicHash::Sha256)
            .toHex(':')
            .toUpper()
            .toStdString();
    }

    // Sends bytes as they stand; Send() adds the NUL, SendCmd() also the 0xFF 0xFF.
    void SendRaw(std::string_view bytes) {
        socket_.write(bytes.data(), static_cast<qint64>(bytes.size()));
        socket_.flush();
    }
    void Send(std::string_view text) { SendRaw(std::string(text) + '\0'); }
    void SendCmd(std::string_view body) { Send(Cmd(body)); }

    // Logs in as nickname with a valid version; true when "SACK" arrived and
    // the login lists were received.
    bool Login(std::string_view nickname, std::string_view scrambled = {},
               std::string_view version = "0.2 build \\#0013") {
        std::string body = "CACK";
        body.append(nickname).append("#").append(scrambled).append("#").append(version);
        SendCmd(body);
        if (!WaitForMessage(Cmd("SACK")))
            return false;
        SendCmd("ACKD");
        // The newcomer's own "USRL" comes last.
        const std::string own = "#" + std::string(nickname) + "#0";
        return WaitFor([&] {
            for (const auto& m : messages_)
                if (m.rfind(Cmd("USRL"), 0) == 0 && m.size() >= own.size() &&
                    m.compare(m.size() - own.size(), own.size(), own) == 0)
                    return true;
            return false;
        });
    }

    bool WaitForMessage(const std::string& message, int ms = 3000) {
        return WaitFor([&] { return Count(message) > 0; }, ms);
    }
    bool WaitForCount(std::size_t n, int ms = 3000) {
        return WaitFor([&] { return messages_.size() >= n; }, ms);
    }
    bool WaitForClose(int ms = 3000) {
        return WaitFor([this] { return closed_; }, ms);
    }

    std::size_t Count(const std::string& message) const {
        std::size_t n = 0;
        for (const auto& m : messages_)
            n += m == message ? 1 : 0;
        return n;
    }
    bool HasPrefix(const std::string& prefix) const {
        for (const auto& m : messages_)
            if (m.rfind(prefix, 0) == 0)
                return true;
        return false;
    }

    std::vector<std::string>& Messages() { return messages_; }
    void Clear() { messages_.clear(); }
    bool Closed() const { return closed_; }
    QTcpSocket& Socket() { return socket_; }
    std::size_t Received() const { return received_; }
    void Abort() { socket_.abort(); }

private:
    void Collect() {
        const QByteArray data = socket_.readAll();
        received_ += static_cast<std::size_t>(data.size());
        buffer_.append(data.constData(), static_cast<std::size_t>(data.size()));
        std::size_t pos = 0;
        for (;;) {
            const std::size_t nul = buffer_.find('\0', pos);
            if (nul == std::string::npos)
                break;
            messages_.push_back(buffer_.substr(pos, nul - pos));
            pos = nul + 1;
        }
        buffer_.erase(0, pos);
    }

    QSslSocket socket_; // plaintext unless ConnectTls() was used
    std::string buffer_;
    std::vector<std::string> messages_;
    std::size_t received_ = 0;
    bool closed_ = false;
};

} // namespace testing_support
