// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A started ServerCore on a free loopback port, plus raw clients to talk to it.
#include "server/core/ServerCore.h"
#include "tests/server/core/Occurrences.h"
#include "tests/server/core/RawClient.h"

#include <QTcpServer>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>

namespace testing_support {

// Byte strings print as hex where they hold NUL, 0xFF or line breaks.
struct Bytes {
    std::string value;
    bool operator==(const Bytes&) const = default;
};
inline void PrintTo(const Bytes& b, std::ostream* os) {
    for (unsigned char c : b.value) {
        if (c >= 0x20 && c < 0x7F)
            *os << c;
        else
            *os << "<" << std::hex << int(c) << std::dec << ">";
    }
}

inline quint16 FreePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

class CoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Counted from the full stream of lines: the log text itself is capped.
        core.Log().setLineSink([this](std::string_view line) {
            if (line.find("] Inkomende verbinding (") != std::string_view::npos)
                ++accepted;
        });
        Start();
    }

    void Start() {
        QString error;
        for (int attempt = 0; attempt < 5 && !core.Listening(); ++attempt)
            core.StartServer(QString::number(FreePort()), &error);
        ASSERT_TRUE(core.Listening()) << error.toStdString();
        port = core.ListeningPort();
    }

    // A connected client whose slot the server has already taken.
    RawClient& NewClient(const QString& host = QStringLiteral("127.0.0.1")) {
        clients.push_back(std::make_unique<RawClient>());
        RawClient& c = *clients.back();
        const int before = accepted;
        EXPECT_TRUE(c.Connect(port, 3000, host));
        EXPECT_TRUE(WaitFor([&] { return accepted > before; }));
        return c;
    }

    RawClient& LoggedInClient(std::string_view nickname, const QString& host = QStringLiteral("127.0.0.1")) {
        RawClient& c = NewClient(host);
        EXPECT_TRUE(c.Login(nickname)) << nickname;
        return c;
    }

    std::string LogText() const { return std::string(const_cast<server::ServerCore&>(core).Log().Bytes()); }
    bool LogHas(std::string_view text) const { return LogText().find(text) != std::string::npos; }
    std::size_t LogCount(std::string_view text) const { return Occurrences(LogText(), text); }

    server::ServerCore core;
    quint16 port = 0;
    int accepted = 0;
    std::vector<std::unique_ptr<RawClient>> clients;
};

} // namespace testing_support
