// SPDX-License-Identifier: GPL-3.0-or-later
// Connecting again by itself: the back-off schedule, and which endings of a
// session against a scripted server earn a new attempt, on a manual clock.
#include "ScriptedServer.h"
#include "client/core/ClientSession.h"
#include "client/core/ReconnectSchedule.h"
#include "client/core/Reconnector.h"
#include "client/core/WireText.h"
#include "net/Winsock.h"

#include <gtest/gtest.h>

using client::ClientSession;
using client::Reconnector;
using client::ReconnectSchedule;
using clienttest::ScriptedServer;
using clienttest::WaitUntil;

namespace {

TEST(ReconnectScheduleTest, DoublesToThirtyThenStaysAtSixtyWithAFifthOfJitter) {
    ReconnectSchedule middle([] { return 0.5; });
    std::vector<int> waits;
    for (int i = 0; i < 8; ++i)
        waits.push_back(middle.nextDelayMs());
    EXPECT_EQ(waits, (std::vector<int>{2000, 4000, 8000, 16000, 30000, 60000, 60000, 60000}));
    middle.reset();
    EXPECT_EQ(middle.nextDelayMs(), 2000);

    ReconnectSchedule low([] { return 0.0; }), high([] { return 0.999999; });
    EXPECT_EQ(low.nextDelayMs(), 1600);
    EXPECT_EQ(high.nextDelayMs(), 2400);
    // Out-of-range random numbers cannot stretch the wait further.
    ReconnectSchedule wild([] { return 7.0; });
    EXPECT_EQ(wild.nextDelayMs(), 2400);
    EXPECT_EQ(ReconnectSchedule::StatusText(16), QStringLiteral("Opnieuw verbinden over 16 s..."));
}

class ReconnectorTest : public ::testing::Test {
protected:
    void SetUp() override {
        reconnector.setClock([this] { return now; });
        reconnector.setRandom([] { return 0.5; });
        QObject::connect(&reconnector, &Reconnector::countdown, [this](int s) { counts.push_back(s); });
        QObject::connect(&reconnector, &Reconnector::attemptDue, [this] { ++attempts; });
    }

    // A fresh scripted server, a login on it, and the session in progress.
    void logIn() {
        server = std::make_unique<ScriptedServer>();
        ASSERT_TRUE(server->listen());
        session.setLocalNickname(QStringLiteral("gast"));
        session.setPassword(client::ScramblePassword({}));
        session.Winsock1()->connectToHost(QStringLiteral("127.0.0.1"), server->port());
        ASSERT_TRUE(server->waitForClient());
        ASSERT_TRUE(WaitUntil([this] { return session.state() == ClientSession::State::LoggingIn; }));
        server->sendCommand("SACK");
        ASSERT_TRUE(WaitUntil([this] { return session.state() == ClientSession::State::InSession; }));
    }
    void serverCloses() {
        server->closeClient();
        ASSERT_TRUE(WaitUntil([this] { return session.state() == ClientSession::State::Closed; }));
    }
    void advance(qint64 ms) {
        now += ms;
        reconnector.poll();
    }

    ClientSession session;
    Reconnector reconnector{session};
    std::unique_ptr<ScriptedServer> server;
    qint64 now = 1000;
    std::vector<int> counts;
    int attempts = 0;
};

TEST_F(ReconnectorTest, ALostSessionCountsDownTheBackOffAndALoginStartsItAgain) {
    logIn();
    serverCloses();
    EXPECT_EQ(session.ending(), ClientSession::Ending::Lost);
    ASSERT_TRUE(reconnector.waitForNextAttempt());
    advance(1000);
    advance(999);
    EXPECT_EQ(attempts, 0);
    advance(1);
    EXPECT_EQ(counts, (std::vector<int>{2, 1}));
    EXPECT_EQ(attempts, 1);
    EXPECT_TRUE(reconnector.attempting());

    // The attempt timed out: the next wait is twice as long.
    counts.clear();
    reconnector.attemptFailed();
    advance(3999);
    EXPECT_EQ(attempts, 1);
    advance(1);
    EXPECT_EQ(attempts, 2);
    EXPECT_EQ(counts, (std::vector<int>{4, 1}));

    // A login resets the back-off: the next loss waits two seconds again.
    logIn();
    serverCloses();
    counts.clear();
    ASSERT_TRUE(reconnector.waitForNextAttempt());
    EXPECT_EQ(counts, (std::vector<int>{2}));
}

TEST_F(ReconnectorTest, NoNewAttemptAfterAKickABanARefusalOrTheUsersOwnDisconnect) {
    for (const char* notice :
         {"**Je bent gekicked van de server\\r\\n", "**Je bent gebanned van de server\\r\\n"}) {
        logIn();
        server->send(ScriptedServer::Line(notice));
        serverCloses();
        EXPECT_EQ(session.ending(), ClientSession::Ending::Removed) << notice;
        EXPECT_FALSE(reconnector.waitForNextAttempt());
    }
    // Anyone may type the notice; only a close right after it counts.
    logIn();
    server->send(ScriptedServer::Line("**Je bent gekicked van de server"));
    server->send(ScriptedServer::Line("piet> grapje"));
    serverCloses();
    EXPECT_EQ(session.ending(), ClientSession::Ending::Lost);

    server = std::make_unique<ScriptedServer>();
    ASSERT_TRUE(server->listen());
    session.Winsock1()->connectToHost(QStringLiteral("127.0.0.1"), server->port());
    ASSERT_TRUE(server->waitForClient());
    ASSERT_TRUE(WaitUntil([this] { return session.state() == ClientSession::State::LoggingIn; }));
    server->sendCommand("ERROPASS");
    ASSERT_TRUE(WaitUntil([this] { return session.state() == ClientSession::State::Closed; }));
    EXPECT_EQ(session.ending(), ClientSession::Ending::Refused);
    EXPECT_FALSE(reconnector.waitForNextAttempt());

    logIn();
    session.EndOnPurpose();
    EXPECT_EQ(session.ending(), ClientSession::Ending::OnPurpose);
    EXPECT_FALSE(reconnector.waitForNextAttempt());
    EXPECT_EQ(attempts, 0);
}

TEST_F(ReconnectorTest, TheButtonTheSwitchAndTheNetworkComingBack) {
    logIn();
    serverCloses();
    ASSERT_TRUE(reconnector.waitForNextAttempt());
    reconnector.stop();
    advance(120000);
    EXPECT_EQ(attempts, 0);
    EXPECT_FALSE(reconnector.waitForNextAttempt()); // stopped until the next loss

    logIn();
    serverCloses();
    reconnector.setEnabled(false);
    EXPECT_FALSE(reconnector.waitForNextAttempt());
    reconnector.setEnabled(true);

    logIn();
    serverCloses();
    ASSERT_TRUE(reconnector.waitForNextAttempt());
    reconnector.networkChanged();
    EXPECT_EQ(attempts, 1);
    reconnector.networkChanged(); // nothing waits any more
    EXPECT_EQ(attempts, 1);
}

} // namespace
