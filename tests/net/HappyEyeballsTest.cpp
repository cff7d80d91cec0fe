// SPDX-License-Identifier: GPL-3.0-or-later
// Connecting to a name with addresses of both families: IPv6 first, IPv4 when
// IPv6 does not answer in time, the first connection wins.
#include "net/HappyEyeballs.h"
#include "FamilySockets.h"
#include "net/Winsock.h"
#include "tests/support/EventWait.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <gtest/gtest.h>

namespace {

using net::HappyEyeballs;
using net::PeerAddress;

HappyEyeballs::Addresses Addresses(std::initializer_list<const char*> texts) {
    HappyEyeballs::Addresses addresses;
    for (const char* text : texts)
        addresses.push_back(*PeerAddress::Parse(text));
    return addresses;
}

std::vector<std::string> Texts(const HappyEyeballs::Addresses& addresses) {
    std::vector<std::string> texts;
    for (const auto& a : addresses)
        texts.push_back(a.Text());
    return texts;
}

// A name service that knows one name.
HappyEyeballs::Lookup Knows(const QString& name, HappyEyeballs::Addresses addresses) {
    return [name, addresses](const QString& host, std::function<void(const HappyEyeballs::Addresses&)> done) {
        done(host == name ? addresses : HappyEyeballs::Addresses{});
    };
}

struct Outcome {
    int fd = -1;
    bool failed = false;
    void watch(HappyEyeballs& eyeballs) {
        QObject::connect(&eyeballs, &HappyEyeballs::Connected, [this](qintptr d) { fd = int(d); });
        QObject::connect(&eyeballs, &HappyEyeballs::Failed, [this] { failed = true; });
    }
    ~Outcome() {
        if (fd >= 0)
            ::close(fd);
    }
};

TEST(HappyEyeballs, TriesIPv6FirstThenTheFamiliesTakeTurns) {
    const struct {
        std::initializer_list<const char*> answer;
        std::vector<std::string> order;
    } rows[] = {
        {{"192.0.2.1", "2001:db8::1"}, {"2001:db8::1", "192.0.2.1"}},
        {{"192.0.2.1", "192.0.2.2", "2001:db8::1", "2001:db8::2", "2001:db8::3"},
         {"2001:db8::1", "192.0.2.1", "2001:db8::2", "192.0.2.2", "2001:db8::3"}},
        {{"192.0.2.1", "192.0.2.2"}, {"192.0.2.1", "192.0.2.2"}},
        {{"2001:db8::1"}, {"2001:db8::1"}},
        {{}, {}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Texts(HappyEyeballs::AttemptOrder(Addresses(row.answer))), row.order);
}

// The IPv6 address of the name is a listener whose queue is full: its attempt
// hangs. IPv4 starts after the delay and wins.
TEST(HappyEyeballs, AnUnansweringIPv6AddressCostsOnlyTheDelay) {
    QTcpServer v4;
    ASSERT_TRUE(v4.listen(QHostAddress::LocalHost, 0));
    nettest::SilentListener v6("::1", v4.serverPort());
    ASSERT_GE(v6.fd, 0) << "[::1]:" << v4.serverPort() << " is taken";

    HappyEyeballs eyeballs;
    eyeballs.setLookup(Knows(QStringLiteral("chat.test"), Addresses({"127.0.0.1", "::1"})));
    Outcome outcome;
    outcome.watch(eyeballs);
    QElapsedTimer clock;
    clock.start();
    eyeballs.start(QStringLiteral("chat.test"), v4.serverPort());
    ASSERT_TRUE(zindletest::WaitUntil([&] { return outcome.fd >= 0; }, 5000));
    EXPECT_GE(clock.elapsed(), HappyEyeballs::kAttemptDelayMs - 10);
    EXPECT_EQ(nettest::PeerText(outcome.fd), "127.0.0.1");
    EXPECT_FALSE(outcome.failed);
}

TEST(HappyEyeballs, TheNextAddressWaitsForTheClock) {
    QTcpServer v4;
    ASSERT_TRUE(v4.listen(QHostAddress::LocalHost, 0));
    nettest::SilentListener v6("::1", v4.serverPort());
    ASSERT_GE(v6.fd, 0);

    std::vector<std::function<void()>> due; // the test's clock: it fires when told
    HappyEyeballs eyeballs;
    eyeballs.setLookup(Knows(QStringLiteral("chat.test"), Addresses({"127.0.0.1", "::1"})));
    eyeballs.setSchedule([&](int ms, std::function<void()> fire) {
        EXPECT_EQ(ms, HappyEyeballs::kAttemptDelayMs);
        due.push_back(std::move(fire));
    });
    Outcome outcome;
    outcome.watch(eyeballs);
    eyeballs.start(QStringLiteral("chat.test"), v4.serverPort());
    zindletest::Pump(300);
    EXPECT_EQ(outcome.fd, -1) << "IPv4 must not start before its time";
    ASSERT_EQ(due.size(), 1u);
    due.front()();
    ASSERT_TRUE(zindletest::WaitUntil([&] { return outcome.fd >= 0; }));
    EXPECT_EQ(nettest::PeerText(outcome.fd), "127.0.0.1");
}

TEST(HappyEyeballs, AnsweredIPv6WinsAndARefusalMovesOnAtOnce) {
    QTcpServer both;
    ASSERT_TRUE(both.listen(QHostAddress::Any, 0));
    {
        HappyEyeballs eyeballs;
        eyeballs.setLookup(Knows(QStringLiteral("chat.test"), Addresses({"127.0.0.1", "::1"})));
        eyeballs.setSchedule([](int, std::function<void()>) {}); // the delay never ends
        Outcome outcome;
        outcome.watch(eyeballs);
        eyeballs.start(QStringLiteral("chat.test"), both.serverPort());
        ASSERT_TRUE(zindletest::WaitUntil([&] { return outcome.fd >= 0; }));
        EXPECT_EQ(nettest::PeerText(outcome.fd), "::1");
    }

    // Nobody listens on IPv6 here: the refusal starts IPv4 without the delay.
    QTcpServer onlyV4;
    ASSERT_TRUE(onlyV4.listen(QHostAddress::LocalHost, 0));
    HappyEyeballs eyeballs;
    eyeballs.setLookup(Knows(QStringLiteral("chat.test"), Addresses({"::1", "127.0.0.1"})));
    eyeballs.setSchedule([](int, std::function<void()>) {});
    Outcome outcome;
    outcome.watch(eyeballs);
    eyeballs.start(QStringLiteral("chat.test"), onlyV4.serverPort());
    ASSERT_TRUE(zindletest::WaitUntil([&] { return outcome.fd >= 0; }));
    EXPECT_EQ(nettest::PeerText(outcome.fd), "127.0.0.1");
}

TEST(HappyEyeballs, NothingToReachIsAFailureAndCancelledIsSilence) {
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 closedPort = probe.serverPort();
    probe.close();

    for (const auto& answer : {Addresses({"127.0.0.1", "::1"}), Addresses({})}) {
        HappyEyeballs eyeballs;
        eyeballs.setLookup(Knows(QStringLiteral("chat.test"), answer));
        Outcome outcome;
        outcome.watch(eyeballs);
        eyeballs.start(QStringLiteral("chat.test"), closedPort);
        EXPECT_TRUE(zindletest::WaitUntil([&] { return outcome.failed; })) << answer.size();
        EXPECT_EQ(outcome.fd, -1);
    }

    QTcpServer v4;
    ASSERT_TRUE(v4.listen(QHostAddress::LocalHost, 0));
    nettest::SilentListener v6("::1", v4.serverPort());
    HappyEyeballs eyeballs;
    eyeballs.setLookup(Knows(QStringLiteral("chat.test"), Addresses({"::1", "127.0.0.1"})));
    Outcome outcome;
    outcome.watch(eyeballs);
    eyeballs.start(QStringLiteral("chat.test"), v4.serverPort());
    eyeballs.cancel();
    zindletest::Pump(HappyEyeballs::kAttemptDelayMs + 100);
    EXPECT_EQ(outcome.fd, -1);
    EXPECT_FALSE(outcome.failed);
    EXPECT_FALSE(v4.hasPendingConnections());
}

// The socket object connects through it: to an IPv6 literal, and to the name
// "localhost" with whatever families the machine gives it.
TEST(HappyEyeballs, WinsockAdoptsTheConnection) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::Any, 0));
    for (const char* host : {"::1", "127.0.0.1", "localhost"}) {
        net::Winsock socket;
        bool connected = false;
        QObject::connect(&socket, &net::Winsock::Connect, [&] { connected = true; });
        socket.connectToHost(QString::fromLatin1(host), server.serverPort());
        EXPECT_EQ(socket.state(), net::Winsock::State::Connecting);
        ASSERT_TRUE(zindletest::WaitUntil([&] { return connected; })) << host;
        EXPECT_EQ(socket.state(), net::Winsock::State::Connected);
        ASSERT_TRUE(zindletest::WaitUntil([&] { return server.hasPendingConnections(); }));
        QTcpSocket* peer = server.nextPendingConnection();
        EXPECT_EQ(socket.sendData(QByteArrayLiteral("hallo")), 5);
        ASSERT_TRUE(zindletest::WaitUntil([&] { return peer->bytesAvailable() >= 5; })) << host;
        EXPECT_EQ(peer->readAll(), QByteArrayLiteral("hallo"));
        if (std::string(host) != "localhost") {
            EXPECT_EQ(socket.remoteHostIP(), QString::fromLatin1(host));
        }
        delete peer;
    }
}

} // namespace
