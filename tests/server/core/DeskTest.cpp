// SPDX-License-Identifier: GPL-3.0-or-later
// The login desk through the core: one nickname per user from "SACK" on, one
// login per connection, what the log says of strangers, and users per address.
#include "tests/server/core/FakeCoreFixture.h"

using namespace testing_support;
using Ending = FakeTransport::Ending;
using Messages = std::vector<std::string>;

namespace {

class Desk : public FakeCoreTest {};

TEST_F(Desk, ANicknameIsTakenFromSackOnSoTwoWaitingLoginsCannotShareIt) {
    const int first = Connect();
    const int second = Connect();
    Cack(first, "anna");
    Cack(second, "anna");
    EXPECT_EQ(Got(first), Messages{Command("SACK")});
    EXPECT_EQ(Got(second), Messages{Command("ERRONICK")});
    EXPECT_EQ(fake->EndingOf(second), Ending::Closed);
    SayCmd(first, "ACKD");
    EXPECT_EQ(core.UserListEntries(), QStringList{"1#anna"});

    // Free again once its holder leaves, also before it logged in.
    const int third = Connect();
    Cack(third, "bob");
    fake->PeerClose(third);
    const int fourth = Connect();
    Cack(fourth, "bob");
    EXPECT_EQ(Got(fourth), Messages{Command("SACK")});
}

TEST_F(Desk, ASecondCackIsIgnoredAndLoggedOnce) {
    const int anna = LoggedIn("anna");
    const int bob = LoggedIn("bob");
    fake->Clear(anna);
    fake->Clear(bob);
    Cack(anna, "carla");
    Cack(anna, "dirk");
    EXPECT_EQ(core.UserListEntries(), (QStringList{"1#anna", "2#bob"}));
    EXPECT_TRUE(Got(anna).empty());
    EXPECT_TRUE(Got(bob).empty());
    EXPECT_EQ(LogCount("STATUS [1] Tweede aanmelding genegeerd"), 1u);
    // anna is still anna's: nobody else may take it.
    const int late = Connect();
    Cack(late, "anna");
    EXPECT_EQ(Got(late), Messages{Command("ERRONICK")});
    // A waiting connection that repeats itself is only counted.
    const int waiting = Connect();
    Cack(waiting, "eva");
    Cack(waiting, "frits");
    SayCmd(waiting, "ACKD");
    EXPECT_EQ(core.User(waiting).Nickname, "eva");
}

TEST_F(Desk, WhatStrangersSendIsCountedInOneLineAndNeverLogged) {
    const int stranger = Connect();
    for (int i = 0; i < 50; ++i)
        Say(stranger, "[12:00:00] STATUS [0] nep " + std::to_string(i));
    SayCmd(stranger, "PRIV1#geheim");
    SayCmd(stranger, "AWAY");
    EXPECT_FALSE(LogHas("nep"));
    EXPECT_FALSE(LogHas("geheim"));
    EXPECT_FALSE(LogHas("AWAY"));
    EXPECT_FALSE(LogHas("genegeerd")) << "told once, when it stops waiting";
    fake->PeerClose(stranger);
    EXPECT_EQ(LogCount("STATUS [1] 52 berichten van voor het inloggen genegeerd"), 1u);

    // One that logs in after a stray line: told at the login, once.
    const int late = Connect();
    Say(late, "te vroeg");
    Cack(late, "anna");
    SayCmd(late, "ACKD");
    Say(late, "anna> nu wel");
    const std::string tag = "STATUS [" + std::to_string(late) + "] ";
    EXPECT_EQ(LogCount(tag + "1 bericht van voor het inloggen genegeerd"), 1u);
    EXPECT_TRUE(LogHas("CHAT - [" + std::to_string(late) + "] anna> nu wel"));
    fake->PeerClose(late);
    EXPECT_EQ(LogCount("van voor het inloggen genegeerd"), 2u);
}

TEST_F(Desk, UsersPerAddressAreCappedWhenAsked) {
    server::ServerLimits limits = core.Limits();
    limits.maxUsersPerAddress = 2;
    core.setLimits(limits);
    LoggedIn("anna");
    const int bob = LoggedIn("bob");
    const int carla = Connect();
    Cack(carla, "carla");
    EXPECT_EQ(Got(carla), Messages{Command("ERRODBIP")});
    EXPECT_NE(LoggedIn("dirk", QStringLiteral("10.0.0.9")), -1);
    fake->PeerClose(bob);
    LoggedIn("eva");
}

TEST_F(Desk, KickingAConnectionThatNeverLoggedInTellsTheRoomNothing) {
    const int anna = LoggedIn("anna");
    const int stranger = Connect();
    fake->Clear(anna);
    EXPECT_TRUE(core.Kick(stranger));
    EXPECT_EQ(Got(anna), Messages{Command("USRD2")});
    EXPECT_EQ(fake->EndingOf(stranger), Ending::Closed);
}

} // namespace
