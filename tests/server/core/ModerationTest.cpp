// SPDX-License-Identifier: GPL-3.0-or-later
// Kick, ban with its sweep, the ban list, user information, and saving the room
// name and message of the day.
#include "tests/server/core/FakeCoreFixture.h"

#include <QSignalSpy>

using namespace testing_support;
using Ending = FakeTransport::Ending;
using Messages = std::vector<std::string>;

namespace {

class Moderation : public FakeCoreTest {};

const std::string kKickedYou = "**Je bent gekicked van de server\\r\\n";
const std::string kBannedYou = "**Je bent gebanned van de server\\r\\n";

TEST_F(Moderation, AKickSendsTheNoticesThenCloses) {
    const int anna = LoggedIn("anna");
    const int bob = LoggedIn("bob");
    fake->Clear(anna);
    fake->Clear(bob);
    QSignalSpy listChanged(&core, &server::ServerCore::userListChanged);
    EXPECT_TRUE(core.KickEntry(QStringLiteral("2#bob")));
    EXPECT_EQ(Got(bob), Messages{kKickedYou});
    EXPECT_EQ(fake->EndingOf(bob), Ending::Closed);
    EXPECT_EQ(Got(anna), (Messages{"* bob is gekicked van de server\\r\\n", Command("USRD2")}));
    EXPECT_EQ(LogCount("STATUS [2] Verbinding gesloten"), 1u);
    EXPECT_EQ(core.UserListEntries(), QStringList{"1#anna"});
    EXPECT_GE(listChanged.count(), 1);
    EXPECT_FALSE(LogHas("gekicked")) << "notices are chat lines: not logged";

    // Kicking the only user: only the personal notice.
    fake->Clear(anna);
    EXPECT_TRUE(core.Kick(anna));
    EXPECT_EQ(Got(anna), Messages{kKickedYou});
    EXPECT_TRUE(core.UserListEntries().isEmpty());
    EXPECT_FALSE(core.Kick(anna)) << "no connection in that slot any more";
    EXPECT_FALSE(core.KickEntry(QStringLiteral("geen nummer")));

    // A connection that never logged in is closed without a word.
    const int pending = Connect();
    EXPECT_TRUE(core.Kick(pending));
    EXPECT_TRUE(Got(pending).empty());
    EXPECT_EQ(fake->EndingOf(pending), Ending::Closed);
}

// Re-entry: the kicked peer's own close arrives while its notice is handed over,
// and a bystander goes while hearing about it. Each slot is released once.
TEST_F(Moderation, PeersClosingDuringAKickAreReleasedOnce) {
    const int anna = LoggedIn("anna");
    const int bob = LoggedIn("bob");
    const int carl = LoggedIn("carl");
    fake->Clear(anna);
    fake->onSend = [&](int slot) {
        if (slot == bob && !Got(bob).empty() && Got(bob).back() == kKickedYou)
            fake->PeerClose(bob);
        if (slot == carl && !Got(carl).empty() && Got(carl).back() == "* bob is gekicked van de server\\r\\n")
            fake->PeerClose(carl);
    };
    EXPECT_TRUE(core.Kick(bob));
    fake->onSend = nullptr;
    EXPECT_EQ(fake->EndingOf(bob), Ending::PeerClosed);
    EXPECT_EQ(fake->EndingOf(carl), Ending::PeerClosed);
    EXPECT_EQ(CountOf(anna, Command("USRD2")), 1u);
    EXPECT_EQ(CountOf(anna, Command("USRD3")), 1u);
    EXPECT_EQ(LogCount("STATUS [2] Verbinding gesloten"), 1u);
    EXPECT_EQ(LogCount("STATUS [3] Verbinding gesloten"), 1u);
    EXPECT_EQ(core.UserListEntries(), QStringList{"1#anna"});
    EXPECT_FALSE(core.Kick(bob));
}

TEST_F(Moderation, ABanSweepsEveryConnectionFromTheAddressInSlotOrder) {
    const int anna = LoggedIn("anna");
    const int bob = LoggedIn("bob");
    const int carla = LoggedIn("carla");
    const int pending = Connect(); // same address, never logged in
    const int other = LoggedIn("dirk", QStringLiteral("127.0.0.2"));
    for (int s : {anna, bob, carla, other})
        fake->Clear(s);
    QSignalSpy banChanged(&core, &server::ServerCore::banListChanged);
    // Four share 127.0.0.1: banning bob throws them all out, in slot order.
    EXPECT_TRUE(core.Ban(bob));
    for (int s : {anna, bob, carla, pending})
        EXPECT_EQ(fake->EndingOf(s), Ending::Closed) << s;
    EXPECT_EQ(core.ConnectionCount(), 1);
    EXPECT_EQ(core.BanList(), QStringList{"127.0.0.1"});
    EXPECT_EQ(banChanged.count(), 1);
    EXPECT_EQ(Got(bob), Messages{kBannedYou});
    EXPECT_EQ(Got(anna), (Messages{"* bob is gebanned van de server\\r\\n", Command("USRD2"), kBannedYou}));
    EXPECT_EQ(Got(carla), (Messages{"* bob is gebanned van de server\\r\\n", Command("USRD2"),
                                    "* anna is gebanned van de server\\r\\n", Command("USRD1"), kBannedYou}));
    EXPECT_TRUE(Got(pending).empty()) << "not logged in: no personal notice";
    EXPECT_EQ(Got(other), (Messages{"* bob is gebanned van de server\\r\\n", Command("USRD2"),
                                    "* anna is gebanned van de server\\r\\n", Command("USRD1"),
                                    "* carla is gebanned van de server\\r\\n", Command("USRD3"),
                                    // the room never knew the one that did not log in
                                    Command("USRD4")}));
    for (int slot = 1; slot <= 4; ++slot)
        EXPECT_EQ(LogCount("STATUS [" + std::to_string(slot) + "] Verbinding gesloten"), 1u) << slot;
}

TEST_F(Moderation, TheBanListSurvivesStopAndStartAndCanBeEdited) {
    core.AddBan(QStringLiteral("10.0.0.1"));
    core.AddBan(QStringLiteral("127.0.0.1"));
    core.AddBan(QStringLiteral("127.0.0.1"));
    core.StopServer();
    ASSERT_TRUE(core.StartServer(QStringLiteral("12345")));
    const int refused = Connect();
    Cack(refused, "anna");
    EXPECT_EQ(Got(refused), Messages{Command("ERROSBAN")});

    core.RemoveBan(5); // out of range: nothing
    core.RemoveBan(0);
    EXPECT_EQ(core.BanList(), (QStringList{"127.0.0.1", "127.0.0.1"}));
    EXPECT_EQ(core.RemoveBanAddress(QStringLiteral("127.0.0.1")), 2);
    core.AddBan(QStringLiteral("1.2.3.4"));
    core.ClearBans();
    EXPECT_TRUE(core.BanList().isEmpty());
    LoggedIn("anna");
}

TEST_F(Moderation, UserInfoText) {
    const int anna = LoggedIn("anna", QStringLiteral("10.1.2.3"));
    SayCmd(anna, "AWAY");
    EXPECT_EQ(core.UserInfoText(anna),
              "ID: 1\r\nNickname: anna\r\nClient versie: 0.2 build #0013\r\nAway: Waar\r\n"
              "IP-Adres: 10.1.2.3\r\nPort: 40000");
    EXPECT_EQ(core.RemoteIP(anna), "10.1.2.3");
    EXPECT_TRUE(core.UserInfoText(9).isEmpty());
}

TEST_F(Moderation, SavingSendsOnlyWhatChanged) {
    core.setServerNaam(QStringLiteral("Kamer"));
    core.setMOTD(QStringLiteral("oud"));
    const int anna = LoggedIn("anna");
    const int bob = LoggedIn("bob");
    const int pending = Connect();
    fake->Clear(anna);
    fake->Clear(bob);
    core.SaveMOTD(QStringLiteral("Kamer"), QStringLiteral("regel 1\r\nregel 2"));
    core.SaveMOTD(QStringLiteral("Zaal #2"), QStringLiteral("regel 1\r\nregel 2"));
    core.SaveMOTD(QStringLiteral("Zaal #2"), QStringLiteral("regel 1\r\nregel 2")); // nothing changed
    core.SaveMOTD(QStringLiteral("Hal"), QString());
    const Messages want{Command("MOTDregel 1\r\nregel 2"), Command("SINFZaal \\#2#0.2.0004"),
                        Command("SINFHal#0.2.0004"), Command("MOTD")};
    EXPECT_EQ(Got(anna), want) << "room name before message of the day";
    EXPECT_EQ(Got(bob), want);
    EXPECT_TRUE(Got(pending).empty());
    EXPECT_TRUE(LogHas("UIT -> [2] * SINFHal#0.2.0004\r\n"));

    // Saved while stopped: nothing sent, the next login gets the new texts.
    core.StopServer();
    core.SaveMOTD(QStringLiteral("Later"), QStringLiteral("Nieuw"));
    EXPECT_EQ(core.ServerNaam(), "Later");
    ASSERT_TRUE(core.StartServer(QStringLiteral("12345")));
    const int carla = LoggedIn("carla");
    EXPECT_EQ(CountOf(carla, Command("SINFLater#0.2.0004")), 1u);
    EXPECT_EQ(CountOf(carla, Command("MOTDNieuw")), 1u);
}

} // namespace
