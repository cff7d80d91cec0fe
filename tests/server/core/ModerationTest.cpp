// SPDX-License-Identifier: GPL-3.0-or-later
// Kick, ban with its sweep, the ban list, user information, and saving the room
// name and message of the day.
#include "tests/server/core/CoreFixture.h"

#include <QSignalSpy>

using namespace testing_support;

namespace {

class ModerationTest : public CoreTest {};

const std::string kKickedYou = "**Je bent gekicked van de server\\r\\n";
const std::string kBannedYou = "**Je bent gebanned van de server\\r\\n";

TEST_F(ModerationTest, KickSendsNoticesThenCloses) {
    RawClient& a = LoggedInClient("anna");
    RawClient& b = LoggedInClient("bob");
    QSignalSpy listChanged(&core, &server::ServerCore::userListChanged);
    EXPECT_TRUE(core.KickEntry(QStringLiteral("2#bob")));
    EXPECT_TRUE(b.WaitForClose());
    EXPECT_EQ(b.Messages().back(), kKickedYou);
    EXPECT_TRUE(a.WaitForMessage(Cmd("USRD2")));
    EXPECT_EQ(a.Count("* bob is gekicked van de server\\r\\n"), 1u);
    EXPECT_EQ(a.Count(Cmd("USRD2")), 1u);
    EXPECT_EQ(LogCount("STATUS [2] Verbinding gesloten"), 1u);
    EXPECT_EQ(core.UserListEntries(), QStringList{"1#anna"});
    EXPECT_GE(listChanged.count(), 1);
    EXPECT_FALSE(LogHas("gekicked")) << "notices are chat lines: not logged";

    // Kicking the only user: only the personal notice.
    EXPECT_TRUE(core.Kick(1));
    EXPECT_TRUE(a.WaitForClose());
    EXPECT_EQ(a.Messages().back(), kKickedYou);
    EXPECT_TRUE(core.UserListEntries().isEmpty());
    EXPECT_FALSE(core.Kick(1)) << "no connection in that slot any more";
    EXPECT_FALSE(core.KickEntry(QStringLiteral("geen nummer")));
}

TEST_F(ModerationTest, PeerClosingDuringKickIsHarmless) {
    RawClient& a = LoggedInClient("anna");
    RawClient& b = LoggedInClient("bob");
    // bob's close is already on its way when the kick lets events run.
    b.Abort();
    Settle(50);
    core.Kick(2);
    ASSERT_TRUE(a.WaitForMessage(Cmd("USRD2")));
    Settle();
    EXPECT_EQ(a.Count(Cmd("USRD2")), 1u);
    EXPECT_EQ(LogCount("STATUS [2] Verbinding gesloten"), 1u);
}

TEST_F(ModerationTest, BanSweepsEveryConnectionFromTheAddress) {
    RawClient& a = LoggedInClient("anna");
    RawClient& b = LoggedInClient("bob");
    RawClient& c = LoggedInClient("carla");
    RawClient& d = NewClient(); // same address, never logged in
    QSignalSpy banChanged(&core, &server::ServerCore::banListChanged);
    // All four share 127.0.0.1: banning bob throws out everyone, in slot order.
    EXPECT_TRUE(core.Ban(2));
    for (RawClient* x : {&a, &b, &c, &d})
        EXPECT_TRUE(x->WaitForClose());
    EXPECT_EQ(core.ConnectionCount(), 0);
    EXPECT_EQ(core.BanList(), QStringList{"127.0.0.1"});
    EXPECT_EQ(banChanged.count(), 1);
    EXPECT_EQ(b.Messages().back(), kBannedYou);
    EXPECT_EQ(a.Count("* bob is gebanned van de server\\r\\n"), 1u);
    EXPECT_EQ(a.Messages().back(), kBannedYou);
    // carla heard about bob and anna before her own turn.
    EXPECT_EQ(c.Count("* bob is gebanned van de server\\r\\n"), 1u);
    EXPECT_EQ(c.Count("* anna is gebanned van de server\\r\\n"), 1u);
    EXPECT_EQ(c.Messages().back(), kBannedYou);
    EXPECT_TRUE(d.Messages().empty()) << "not logged in: no personal notice";
    for (int slot = 1; slot <= 4; ++slot)
        EXPECT_EQ(LogCount("STATUS [" + std::to_string(slot) + "] Verbinding gesloten"), 1u) << slot;
}

TEST_F(ModerationTest, BanListSurvivesStopStartAndCanBeEdited) {
    core.AddBan(QStringLiteral("10.0.0.1"));
    core.AddBan(QStringLiteral("127.0.0.1"));
    core.AddBan(QStringLiteral("127.0.0.1"));
    core.StopServer();
    Start();
    RawClient& x = NewClient();
    x.SendCmd("CACKanna##0.2 build \\#0013");
    ASSERT_TRUE(x.WaitForClose());
    EXPECT_EQ(x.Messages().at(0), Cmd("ERROSBAN"));

    core.RemoveBan(5); // out of range: nothing
    core.RemoveBan(0);
    EXPECT_EQ(core.BanList(), (QStringList{"127.0.0.1", "127.0.0.1"}));
    EXPECT_EQ(core.RemoveBanAddress(QStringLiteral("127.0.0.1")), 2);
    core.AddBan(QStringLiteral("1.2.3.4"));
    core.ClearBans();
    EXPECT_TRUE(core.BanList().isEmpty());
    EXPECT_TRUE(LoggedInClient("anna").Messages().size() >= 4);
}

TEST_F(ModerationTest, UserInfoText) {
    RawClient& a = LoggedInClient("anna");
    a.SendCmd("AWAY");
    ASSERT_TRUE(a.WaitForMessage(Cmd("USRC1#anna#1")));
    const QString info = core.UserInfoText(1);
    const QString port = QString::number(a.Socket().localPort());
    const QString six = "ID: 1\r\nNickname: anna\r\nClient versie: 0.2 build #0013\r\nAway: Waar\r\n"
                        "IP-Adres: 127.0.0.1\r\nPort: " +
                        port;
    if (core.RemoteHost(1).isEmpty())
        EXPECT_EQ(info, six);
    else
        EXPECT_EQ(info, six + "\r\nHost: " + core.RemoteHost(1) + "\r\n");
    EXPECT_EQ(core.RemoteIP(1), "127.0.0.1");
    EXPECT_TRUE(core.UserInfoText(9).isEmpty());
}

TEST_F(ModerationTest, SaveSendsOnlyWhatChanged) {
    core.setServerNaam(QStringLiteral("Kamer"));
    core.setMOTD(QStringLiteral("oud"));
    RawClient& a = LoggedInClient("anna");
    RawClient& b = LoggedInClient("bob");
    ASSERT_TRUE(a.WaitForMessage(Cmd("USRN2#bob#0")));
    a.Clear();
    b.Clear();
    core.SaveMOTD(QStringLiteral("Kamer"), QStringLiteral("regel 1\r\nregel 2"));
    ASSERT_TRUE(b.WaitForMessage(Cmd("MOTDregel 1\r\nregel 2")));
    core.SaveMOTD(QStringLiteral("Zaal #2"), QStringLiteral("regel 1\r\nregel 2"));
    ASSERT_TRUE(a.WaitForMessage(Cmd("SINFZaal \\#2#0.2.0004")));
    core.SaveMOTD(QStringLiteral("Zaal #2"), QStringLiteral("regel 1\r\nregel 2")); // nothing changed
    core.SaveMOTD(QStringLiteral("Hal"), QString());
    ASSERT_TRUE(a.WaitForMessage(Cmd("MOTD")));
    Settle();
    const std::vector<std::string> want{Cmd("MOTDregel 1\r\nregel 2"), Cmd("SINFZaal \\#2#0.2.0004"),
                                        Cmd("SINFHal#0.2.0004"), Cmd("MOTD")};
    EXPECT_EQ(a.Messages(), want) << "room name before message of the day";
    EXPECT_EQ(b.Messages(), want);
    EXPECT_TRUE(LogHas("UIT -> [2] * SINFHal#0.2.0004\r\n"));

    // Saved while stopped: nothing sent, the next login gets the new texts.
    core.StopServer();
    core.SaveMOTD(QStringLiteral("Later"), QStringLiteral("Nieuw"));
    EXPECT_EQ(core.ServerNaam(), "Later");
    Start();
    RawClient& c = LoggedInClient("carla");
    EXPECT_EQ(c.Count(Cmd("SINFLater#0.2.0004")), 1u);
    EXPECT_EQ(c.Count(Cmd("MOTDNieuw")), 1u);
}

} // namespace
