// SPDX-License-Identifier: GPL-3.0-or-later
// Who may take part: only a slot that logged in, within its deadline, and not
// too many waiting connections from one address.
#include "tests/server/core/FakeCoreFixture.h"

using namespace testing_support;
using Ending = FakeTransport::Ending;

namespace {

class Access : public FakeCoreTest {};

TEST_F(Access, ABareAckdOrOneAfterARefusedLoginLogsNobodyIn) {
    const int anna = LoggedIn("anna");
    fake->Clear(anna);

    const int intruder = Connect();
    SayCmd(intruder, "ACKD");
    EXPECT_FALSE(core.IsLoggedIn(intruder));
    EXPECT_TRUE(Got(intruder).empty());
    EXPECT_TRUE(Got(anna).empty());  // no "USRN" for a ghost
    EXPECT_TRUE(LogHas("] * ACKD")); // still logged as it came in

    // A password room: the wrong password closes the slot; the same peer on a
    // new connection cannot skip the check with "ACKD".
    core.StopServer();
    core.setRoomPassword(QStringLiteral("geheim"));
    ASSERT_TRUE(core.StartServer(QStringLiteral("12345")));
    const int guest = Connect();
    Cack(guest, "gast", "fout");
    EXPECT_EQ(fake->EndingOf(guest), Ending::Closed);
    const int again = Connect();
    SayCmd(again, "ACKD");
    Say(again, "gast> hallo");
    EXPECT_FALSE(core.IsLoggedIn(again));
    EXPECT_TRUE(core.UserListEntries().isEmpty());
}

TEST_F(Access, NothingButTheLoginCountsBeforeIt) {
    const int anna = LoggedIn("anna");
    const int bob = Connect();
    fake->Clear(anna);
    Say(bob, "bob> hallo");
    SayCmd(bob, "AWAY");
    SayCmd(bob, "PRIV" + std::to_string(anna) + "#psst");
    SayCmd(bob, "FILE" + std::to_string(anna) + "#a.txt#40001");
    EXPECT_TRUE(Got(anna).empty());
    EXPECT_TRUE(Got(bob).empty());
    EXPECT_EQ(core.User(bob).Away, server::kFalse);
    EXPECT_FALSE(LogHas("AWAY")) << "what strangers send is counted, not logged";

    // A private message to a slot that holds a connection but is not logged in
    // is as undeliverable as one to an empty slot.
    SayCmd(anna, "PRIV" + std::to_string(bob) + "#psst");
    EXPECT_EQ(Got(anna), std::vector<std::string>{"Private message niet aangekomen"});
    EXPECT_TRUE(Got(bob).empty());
}

TEST_F(Access, ABannedAddressStaysOutAndARepeatedAckdChangesNothing) {
    core.AddBan(QStringLiteral("10.0.0.9"));
    const int banned = Connect(QStringLiteral("10.0.0.9"));
    SayCmd(banned, "ACKD");
    Cack(banned, "boef");
    EXPECT_EQ(Got(banned), std::vector<std::string>{Command("ERROSBAN")});
    EXPECT_EQ(fake->EndingOf(banned), Ending::Closed);

    const int anna = LoggedIn("anna");
    const int bob = LoggedIn("bob");
    fake->Clear(anna);
    fake->Clear(bob);
    SayCmd(bob, "ACKD");
    EXPECT_TRUE(Got(anna).empty());
    EXPECT_TRUE(Got(bob).empty());
    fake->PeerClose(bob);
    EXPECT_EQ(CountOf(anna, Command("USRD") + std::to_string(bob)), 1u);
    EXPECT_EQ(core.LoggedIn().size(), 1u);
}

TEST_F(Access, AConnectionThatDoesNotLogInInTimeIsClosed) {
    const int slow = Connect();
    fake->now += 10'000;
    const int late = Connect();
    Advance(19'999);
    EXPECT_EQ(fake->EndingOf(slow), Ending::Open);
    Advance(1);
    EXPECT_EQ(fake->EndingOf(slow), Ending::Closed);
    EXPECT_FALSE(core.IsInUse(slow));
    EXPECT_TRUE(LogHas("STATUS [1] Niet op tijd ingelogd, verbinding wordt verbroken"));

    // Logging in stops the clock; the other one's deadline is its own.
    Cack(late, "laat");
    SayCmd(late, "ACKD");
    Advance(60'000);
    EXPECT_TRUE(core.IsLoggedIn(late));

    server::ServerLimits off = core.Limits();
    off.loginTimeoutSeconds = 0;
    core.setLimits(off);
    const int idle = Connect();
    Advance(3'600'000);
    EXPECT_TRUE(core.IsInUse(idle));
}

TEST_F(Access, AtItsWaitingLimitAnAddressLetsTheNewestInAndTheOldestGo) {
    server::ServerLimits limits = core.Limits();
    limits.maxPendingPerAddress = 3;
    core.setLimits(limits);
    std::vector<int> waiting;
    for (int i = 0; i < 3; ++i)
        waiting.push_back(Connect(QStringLiteral("10.0.0.1")));
    const int fourth = Connect(QStringLiteral("10.0.0.1"));
    EXPECT_NE(fourth, -1);
    EXPECT_EQ(fake->refused, 0);
    EXPECT_EQ(fake->EndingOf(waiting[0]), Ending::Aborted);
    EXPECT_TRUE(LogHas("STATUS [1] Wachtte het langst op inloggen, maakt plaats voor een nieuwe verbinding"));
    EXPECT_TRUE(core.IsInUse(waiting[1]));
    EXPECT_NE(Connect(QStringLiteral("10.0.0.2")), -1);

    // One that logs in no longer waits: it is never the one to go.
    Cack(waiting[1], "een");
    SayCmd(waiting[1], "ACKD");
    Connect(QStringLiteral("10.0.0.1"));
    Connect(QStringLiteral("10.0.0.1"));
    EXPECT_TRUE(core.IsLoggedIn(waiting[1]));
    EXPECT_EQ(fake->EndingOf(waiting[2]), Ending::Aborted);
    EXPECT_EQ(fake->EndingOf(fourth), Ending::Open);

    limits.maxPendingPerAddress = 0;
    core.setLimits(limits);
    for (int i = 0; i < 5; ++i)
        Connect(QStringLiteral("10.0.0.1"));
    EXPECT_EQ(fake->EndingOf(fourth), Ending::Open);
}

} // namespace
