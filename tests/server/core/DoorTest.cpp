// SPDX-License-Identifier: GPL-3.0-or-later
// The server's defences over real sockets, end to end: what the scripted tests
// over the in-memory table show, seen from real peers on 127.0.0.1.
#include "common/ZindleDivideCombine.h"
#include "common/ZindleEncrypt.h"
#include "tests/server/core/CoreFixture.h"

#include <QElapsedTimer>

using namespace testing_support;

namespace {

class DoorTest : public CoreTest {};

TEST_F(DoorTest, ABareAckdInAPasswordRoomGetsNothing) {
    core.StopServer();
    core.setRoomPassword(QStringLiteral("geheim"));
    Start();
    RawClient& anna = NewClient();
    anna.SendCmd("CACKanna#" + ZindleDivideCombine::Escape(ZindleEncrypt::Encrypt("geheim")) +
                 "#0.2 build \\#0013");
    ASSERT_TRUE(anna.WaitForMessage(Cmd("SACK")));
    anna.SendCmd("ACKD");
    ASSERT_TRUE(anna.WaitForCount(4));

    RawClient& intruder = NewClient();
    intruder.SendCmd("ACKD");
    intruder.Send("intruder> hallo");
    intruder.SendCmd("PRIV" + std::to_string(2) + "#psst");
    anna.Send("anna> iemand?");
    ASSERT_TRUE(anna.WaitForMessage("anna> iemand?"));
    Settle(100);
    EXPECT_TRUE(intruder.Messages().empty());
    EXPECT_FALSE(anna.HasPrefix("intruder>"));
    EXPECT_FALSE(anna.HasPrefix(Cmd("USRN")));
    EXPECT_FALSE(anna.HasPrefix(Cmd("PRIV")));
    EXPECT_EQ(core.LoggedIn().size(), 1u);
}

TEST_F(DoorTest, ASeventyKilobyteMessageIsRefusedInOneReadAndInMany) {
    const std::string tooLong = std::string(70 * 1024, 'x') + '\0';
    for (const std::size_t piece : {tooLong.size(), std::size_t(1000), std::size_t(16384)}) {
        RawClient& c = LoggedInClient("c" + std::to_string(piece));
        for (std::size_t pos = 0; pos < tooLong.size(); pos += piece) {
            c.SendRaw(std::string_view(tooLong).substr(pos, piece));
            Settle(5); // let the server read each piece on its own
        }
        EXPECT_TRUE(c.WaitForClose()) << piece;
        EXPECT_EQ(c.Messages().back(), "Wrong Protocol") << piece;
    }
}

TEST_F(DoorTest, AFlooderIsSlowedWhileAReaderKeepsUp) {
    server::ServerLimits limits = core.Limits();
    limits.floodRate = 100;
    limits.floodBurst = 10;
    core.setLimits(limits);
    RawClient& flooder = LoggedInClient("flooder");
    RawClient& reader = LoggedInClient("reader");
    std::string burst;
    for (int i = 0; i < 60; ++i)
        burst += "f> " + std::to_string(i) + '\0';
    flooder.SendRaw(burst);
    reader.Send("reader> ik ben er");
    // Every line arrives, the flooder's in order, and nobody is dropped.
    ASSERT_TRUE(WaitFor([&] { return reader.Count("f> 59") == 1; }, 5000));
    EXPECT_EQ(reader.Count("reader> ik ben er"), 1u);
    int next = 0;
    for (const auto& m : reader.Messages()) {
        if (m.rfind("f> ", 0) == 0) {
            EXPECT_EQ(m, "f> " + std::to_string(next++));
        }
    }
    EXPECT_FALSE(flooder.Closed());
    EXPECT_FALSE(reader.Closed());
}

TEST_F(DoorTest, TheBudgetDropsReadersThatStoppedAndServesTheRest) {
    server::ServerLimits limits = core.Limits();
    limits.sendBudgetBytes = 2 * 1024 * 1024;
    limits.floodRate = 0;
    core.setLimits(limits);
    core.setChatLog(false); // keeps the STATUS lines within the log's cut
    RawClient& talker = LoggedInClient("talker");
    RawClient& reader = LoggedInClient("reader");
    std::vector<RawClient*> stuck;
    for (int i = 0; i < 10; ++i) {
        RawClient& c = LoggedInClient("stil" + std::to_string(i));
        // Stops reading, with a small window: the bytes soon wait in the server.
        c.Socket().setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4096);
        c.Socket().setReadBufferSize(1);
        QObject::disconnect(&c.Socket(), &QTcpSocket::readyRead, nullptr, nullptr);
        stuck.push_back(&c);
    }
    // More than the system's own buffers take for each of them.
    const std::string line = "talker> " + std::string(60000, 'y');
    for (int i = 0; i < 120; ++i)
        talker.Send(line);
    // Each time the backlog stops shrinking the server waits five seconds first.
    ASSERT_TRUE(WaitFor([&] { return reader.Count(line) == 120; }, 40000));
    // Five seconds after they stopped taking bytes, the silent ones go.
    EXPECT_TRUE(WaitFor([&] { return core.LoggedIn().size() == 2; }, 15000));
    EXPECT_TRUE(LogHas("Client leest niet meer, verbinding wordt verbroken"));
    EXPECT_FALSE(reader.Closed());
    EXPECT_FALSE(talker.Closed());
    reader.Send("reader> nog steeds");
    EXPECT_TRUE(talker.WaitForMessage("reader> nog steeds", 5000));
}

// A peer that closes while the server does not read from it leaves at once,
// with bytes still unread: no ghost in the user list.
TEST_F(DoorTest, APeerThatClosesWhileNotReadLeavesAtOnce) {
    server::ServerLimits limits = core.Limits();
    limits.floodRate = 1;
    limits.floodBurst = 3;
    core.setLimits(limits);
    RawClient& anna = LoggedInClient("anna");
    RawClient& bob = LoggedInClient("bob");
    std::string lines;
    for (int i = 0; i < 20; ++i)
        lines += "anna> " + std::to_string(i) + '\0';
    anna.SendRaw(lines);
    ASSERT_TRUE(bob.WaitForMessage("anna> 0"));
    Settle(100);
    anna.Socket().disconnectFromHost();
    EXPECT_TRUE(WaitFor([&] { return core.LoggedIn().size() == 1; }, 2000));
    EXPECT_TRUE(bob.WaitForMessage(Cmd("USRD1"), 2000));
    EXPECT_LT(bob.Count("anna> 19"), 1u);
}

// A reader on a slow link beside someone who sends 40 big lines a second: the
// byte allowance keeps the sender to what slow readers can follow.
TEST_F(DoorTest, ASlowReaderBesideABigLineSenderStays) {
    core.setChatLog(false);
    RawClient& sender = LoggedInClient("sender");
    RawClient& slow = LoggedInClient("slow");
    slow.Socket().setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 16384);
    slow.Socket().setReadBufferSize(16384);
    QObject::disconnect(&slow.Socket(), &QTcpSocket::readyRead, nullptr, nullptr);
    const std::string line = "sender> " + std::string(60'000, 'z');
    // About 64 KiB a second, read in small steps, for four seconds.
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 4000) {
        sender.Send(line);
        sender.Send(line);
        Settle(50);
        slow.Socket().read(3200);
    }
    EXPECT_FALSE(LogHas("Client leest niet meer"));
    EXPECT_EQ(core.LoggedIn().size(), 2u);
}

} // namespace
