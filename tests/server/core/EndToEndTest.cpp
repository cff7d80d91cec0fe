// SPDX-License-Identifier: GPL-3.0-or-later
// The core over real sockets on 127.0.0.1, end to end: one login, relays, a kick,
// a peer that drops, and a port already taken. The exact cases run on the
// in-memory table; these keep the real path covered.
#include "tests/server/core/CoreFixture.h"

using namespace testing_support;
using namespace std::string_literals;

namespace {

class EndToEnd : public CoreTest {};

TEST_F(EndToEnd, ALoginGetsItsListsInOrder) {
    core.setServerNaam(QStringLiteral("Kamer"));
    core.setMOTD(QStringLiteral("Welkom\r\nveel plezier"));
    RawClient& a = LoggedInClient("anna");
    RawClient& b = NewClient();
    ASSERT_TRUE(b.Login("bob"));
    std::vector<Bytes> got;
    for (auto& m : b.Messages())
        got.push_back({m});
    const std::vector<Bytes> want{{Cmd("SACK")},
                                  {Cmd("SINFKamer#0.2.0004")},
                                  {Cmd("MOTDWelkom\r\nveel plezier")},
                                  {Cmd("USRL1#anna#0")},
                                  {Cmd("USRL2#bob#0")}};
    EXPECT_EQ(got, want);
    ASSERT_TRUE(a.WaitForMessage(Cmd("USRN2#bob#0")));
    EXPECT_EQ(core.RemoteIP(2), "127.0.0.1");
    EXPECT_EQ(core.RemotePort(2), b.Socket().localPort());
    EXPECT_TRUE(LogHas(
        "] STATUS [2] Inkomende verbinding (127.0.0.1:" + std::to_string(b.Socket().localPort()) + ")"));
}

TEST_F(EndToEnd, ChatLinesAndPrivateMessagesArriveWholeAndInOrder) {
    RawClient& a = LoggedInClient("anna");
    RawClient& b = LoggedInClient("bob");
    ASSERT_TRUE(a.WaitForMessage(Cmd("USRN2#bob#0")));
    a.Clear();
    b.Clear();
    // One line in two writes, then two messages in one.
    a.SendRaw("anna> in twee ");
    Settle(50);
    a.SendRaw("stukken"s + '\0' + Cmd("PRIV2#psst") + '\0' + "anna> daarna" + '\0');
    ASSERT_TRUE(b.WaitForMessage("anna> daarna"));
    EXPECT_EQ(b.Messages(),
              (std::vector<std::string>{"anna> in twee stukken", Cmd("PRIV1#psst"), "anna> daarna"}));
    ASSERT_TRUE(a.WaitForMessage("anna> daarna"));
    EXPECT_EQ(a.Messages(), (std::vector<std::string>{"anna> in twee stukken", "anna> daarna"}));
}

TEST_F(EndToEnd, AKickedUserGetsTheNoticeBeforeTheClose) {
    RawClient& a = LoggedInClient("anna");
    RawClient& b = LoggedInClient("bob");
    ASSERT_TRUE(a.WaitForMessage(Cmd("USRN2#bob#0")));
    a.Clear();
    EXPECT_TRUE(core.Kick(2));
    EXPECT_TRUE(b.WaitForClose());
    EXPECT_EQ(b.Messages().back(), "**Je bent gekicked van de server\\r\\n");
    ASSERT_TRUE(a.WaitForMessage(Cmd("USRD2")));
    EXPECT_EQ(a.Messages(),
              (std::vector<std::string>{"* bob is gekicked van de server\\r\\n", Cmd("USRD2")}));
    EXPECT_FALSE(a.Closed());
}

TEST_F(EndToEnd, APeerThatDropsIsAnnouncedOnce) {
    RawClient& a = LoggedInClient("anna");
    RawClient& b = NewClient();
    b.SendCmd("CACKanna##0.2 build \\#0013"); // refused: nickname taken
    b.Abort();                                // and gone, maybe before the server closes it
    NewClient().Abort();                      // never said a word
    ASSERT_TRUE(WaitFor([&] { return core.ConnectionCount() == 1; }));
    EXPECT_TRUE(WaitFor([&] { return a.Count(Cmd("USRD2")) + a.Count(Cmd("USRD3")) >= 2; }));
    Settle();
    // Which slots they got depends on how soon the first was released; each
    // connection is announced and released exactly once whichever it was.
    std::size_t leaves = 0;
    for (int slot = 2; slot <= 3; ++slot) {
        const std::size_t left = a.Count(Cmd("USRD" + std::to_string(slot)));
        EXPECT_EQ(left, LogCount("STATUS [" + std::to_string(slot) + "] Verbinding gesloten")) << slot;
        leaves += left;
    }
    EXPECT_EQ(leaves, 2u);
}

TEST_F(EndToEnd, AStartOnAPortAlreadyTakenFails) {
    core.StopServer();
    QTcpServer occupier;
    ASSERT_TRUE(occupier.listen(QHostAddress::AnyIPv4, 0));
    QString error;
    EXPECT_FALSE(core.StartServer(QString::number(occupier.serverPort()), &error));
    EXPECT_FALSE(core.Listening());
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(LogHas("STATUS [0] Server kon niet worden gestart: "));
}

} // namespace
