// SPDX-License-Identifier: GPL-3.0-or-later
// What connections may cost: the send budget, the caps per slot, the line rate,
// and the message size, with the peers' behaviour scripted exactly.
#include "tests/server/core/FakeCoreFixture.h"

#include <QCoreApplication>

using namespace testing_support;
using Ending = FakeTransport::Ending;

namespace {

class Limits : public FakeCoreTest {
protected:
    void SetUp() override {
        FakeCoreTest::SetUp();
        server::ServerLimits limits = core.Limits();
        limits.sendBudgetBytes = 100'000;
        limits.floodRate = 0;
        core.setLimits(limits);
    }
    // One chat line of the given size from slot, relayed to everyone.
    void Chat(int slot, std::size_t size) { Say(slot, std::string(size, 'x')); }
};

TEST_F(Limits, OverTheBudgetReadersThatWouldNotCatchUpGoLargestFirst) {
    const int talker = LoggedIn("talker");
    const int reader = LoggedIn("reader");
    const int stuckSmall = LoggedIn("klein");
    const int stuckLarge = LoggedIn("groot");
    for (int s : {reader, stuckSmall, stuckLarge})
        fake->Stall(s, true);
    Chat(talker, 30'000);           // everyone holds 30 KB: under the budget
    fake->Take(stuckSmall, 20'000); // the small one took some, then stopped too
    Advance(5000);
    Chat(talker, 25'000); // 55 + 35 + 55 KB: over the budget
    EXPECT_TRUE(core.ReadingPausedForBudget());
    EXPECT_EQ(fake->EndingOf(stuckLarge), Ending::Open) << "first the server waits";

    // The reader catches up; the others took nothing while the server measured.
    fake->Take(reader, 55'000);
    core.Tick();
    Advance(server::BackPressure::kMeasureMs - 1);
    EXPECT_EQ(fake->EndingOf(stuckLarge), Ending::Open);
    // Of the two that would still hold 90 KB, the larger going is enough.
    Advance(1);
    EXPECT_EQ(fake->EndingOf(stuckLarge), Ending::Aborted);
    EXPECT_EQ(fake->EndingOf(stuckSmall), Ending::Open);
    EXPECT_EQ(fake->EndingOf(reader), Ending::Open);
    EXPECT_TRUE(LogHas("STATUS [4] Client leest niet meer, verbinding wordt verbroken"));
    EXPECT_FALSE(core.ReadingPausedForBudget());
    EXPECT_TRUE(fake->At(talker).reading);
}

TEST_F(Limits, WhenEveryoneStillReadsTheServerStopsReadingInsteadOfDropping) {
    const int talker = LoggedIn("talker");
    const int a = LoggedIn("a");
    const int b = LoggedIn("b");
    for (int s : {talker, a, b})
        fake->Stall(s, true);
    Chat(talker, 40'000); // 120 KB held, everyone just got theirs
    EXPECT_TRUE(core.ReadingPausedForBudget());
    for (int s : {talker, a, b})
        EXPECT_FALSE(fake->At(s).reading);
    // A newcomer waits too.
    const int late = Connect();
    EXPECT_FALSE(fake->At(late).reading);

    // Down to 60 KB: not yet under half the budget.
    fake->Take(talker, 40'000);
    fake->now += 100;
    fake->Take(a, 20'000);
    core.Tick();
    EXPECT_TRUE(core.ReadingPausedForBudget());
    fake->Take(b, 20'000);
    core.Tick(); // 40 KB
    EXPECT_FALSE(core.ReadingPausedForBudget());
    for (int s : {talker, a, b, late})
        EXPECT_TRUE(fake->At(s).reading);
    for (int s : {talker, a, b})
        EXPECT_EQ(fake->EndingOf(s), Ending::Open);
}

TEST_F(Limits, WhileReadingWaitsReadersThatBarelyMoveGoUntilTheBacklogHalved) {
    const int talker = LoggedIn("talker");
    const int a = LoggedIn("a");
    const int b = LoggedIn("b");
    for (int s : {talker, a, b})
        fake->Stall(s, true);
    Chat(talker, 40'000);
    ASSERT_TRUE(core.ReadingPausedForBudget());
    fake->Take(talker, 40'000); // 80 KB left: under the budget, over half of it
    Advance(1000);
    fake->Take(a, 1); // a is slow: far too slow to catch up in time
    Advance(server::BackPressure::kMeasureMs - 1001);
    EXPECT_EQ(fake->EndingOf(b), Ending::Open);
    Advance(1);
    // One of them going is enough (40 KB); the larger one goes.
    EXPECT_EQ(fake->EndingOf(b), Ending::Aborted);
    EXPECT_EQ(fake->EndingOf(a), Ending::Open);
    EXPECT_FALSE(core.ReadingPausedForBudget());
    EXPECT_EQ(fake->EndingOf(talker), Ending::Open);
}

TEST_F(Limits, ASlotOverItsOwnCapIsDroppedAndSoIsAWaitingOneOverItsSmallerCap) {
    server::ServerLimits limits = core.Limits();
    limits.sendBudgetBytes = 0; // no budget: only the caps
    core.setLimits(limits);
    const int talker = LoggedIn("talker");
    const int stuck = LoggedIn("stuck");
    fake->Stall(stuck, true);
    for (int i = 0; i < 80; ++i)
        Chat(talker, 60'000);
    EXPECT_EQ(fake->EndingOf(stuck), Ending::Open); // handed over in one pass: not yet
    core.Tick();
    QCoreApplication::sendPostedEvents(&core); // the drop runs after the walk
    EXPECT_EQ(fake->EndingOf(stuck), Ending::Aborted);
    EXPECT_EQ(fake->EndingOf(talker), Ending::Open);

    // A peer that asks again and again and never reads gets one answer: the
    // asking cannot make the server hold its 64 KiB before the login.
    const int asker = Connect();
    fake->Stall(asker, true);
    std::string asks;
    for (int i = 0; i < 10'000; ++i)
        asks += Framed(Command("CACKw##0.2 build \\#0013"));
    fake->Arrive(asker, asks);
    core.Tick();
    QCoreApplication::sendPostedEvents(&core);
    EXPECT_EQ(Got(asker), std::vector<std::string>{Command("SACK")});
    EXPECT_EQ(fake->EndingOf(asker), Ending::Open);
}

TEST_F(Limits, AFlooderIsSlowedNotDroppedAndOthersAreServed) {
    server::ServerLimits limits = core.Limits();
    limits.floodRate = 10; // a line per 100 ms
    limits.floodBurst = 5; // "CACK" and "ACKD" take two
    core.setLimits(limits);
    const int flooder = LoggedIn("flooder");
    const int reader = LoggedIn("reader");
    fake->Clear(reader);

    std::string burst;
    for (int i = 0; i < 5; ++i)
        burst += Framed("r" + std::to_string(i));
    fake->Arrive(flooder, burst);
    // Three lines are left of the allowance; the rest waits and so does reading.
    EXPECT_EQ(Got(reader).size(), 3u);
    EXPECT_FALSE(fake->At(flooder).reading);
    EXPECT_TRUE(fake->At(reader).reading);

    fake->Arrive(flooder, Framed("wacht"));
    EXPECT_EQ(Got(reader).size(), 3u); // waits (in TCP, for a real peer)
    Say(reader, "ik mag wel");
    EXPECT_EQ(Got(reader).size(), 4u);

    // Ten lines a second: a tenth of a second for each line that waits.
    Advance(100);
    EXPECT_EQ(Got(reader).back(), "r3");
    EXPECT_FALSE(fake->At(flooder).reading);
    Advance(100);
    EXPECT_EQ(Got(reader).back(), "r4");
    EXPECT_TRUE(fake->At(flooder).reading) << "nothing held: reading goes on";
    fake->Pump();
    EXPECT_EQ(Got(reader).back(), "r4");
    Advance(100);
    EXPECT_EQ(Got(reader).back(), "wacht");
    EXPECT_EQ(fake->EndingOf(flooder), Ending::Open);

    limits.floodRate = 0; // off: whoever waits reads again at the next look
    core.setLimits(limits);
    core.Tick();
    EXPECT_TRUE(fake->At(flooder).reading);
    std::string many;
    for (int i = 0; i < 500; ++i)
        many += Framed("x");
    fake->Arrive(flooder, many);
    EXPECT_TRUE(fake->At(flooder).reading);
}

TEST_F(Limits, AMessageOverTheCapIsRefusedHoweverItArrives) {
    const std::string tooLong = Framed(std::string(ZindleWire::kMaxPendingBytes + 1, 'x'));
    const std::string longest = Framed(std::string(ZindleWire::kMaxPendingBytes, 'y'));
    for (const std::size_t piece : {tooLong.size(), std::size_t(1460), std::size_t(65536), std::size_t(7)}) {
        const int anna = LoggedIn("anna" + std::to_string(piece));
        for (std::size_t pos = 0; pos < longest.size(); pos += piece)
            fake->Arrive(anna, longest.substr(pos, piece));
        ASSERT_EQ(Got(anna).back(), longest.substr(0, longest.size() - 1)) << piece;
        for (std::size_t pos = 0; pos < tooLong.size() && fake->Has(anna); pos += piece)
            fake->Arrive(anna, tooLong.substr(pos, piece));
        EXPECT_EQ(Got(anna).back(), "Wrong Protocol") << piece;
        EXPECT_EQ(fake->EndingOf(anna), Ending::Closed) << piece;
        for (const std::string& m : Got(anna))
            EXPECT_LE(m.size(), ZindleWire::kMaxPendingBytes) << piece;
    }
}

TEST_F(Limits, APeerThatGoesDuringARelayLeavesTheOthersServed) {
    const int anna = LoggedIn("anna");
    const int bob = LoggedIn("bob");
    const int carl = LoggedIn("carl");
    fake->Clear(anna);
    fake->Clear(carl);
    // Bob's connection fails the moment his copy is handed over.
    WhenSentTo(bob, [&] { fake->PeerClose(bob); });
    Say(anna, "anna> hoi");
    EXPECT_EQ(Got(carl), (std::vector<std::string>{Command("USRD2"), "anna> hoi"}));
    EXPECT_EQ(core.LoggedIn().size(), 2u);
}

} // namespace
