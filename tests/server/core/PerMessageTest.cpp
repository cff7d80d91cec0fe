// SPDX-License-Identifier: GPL-3.0-or-later
// Limits per message, not per arrival: whatever one arrival holds, no more than
// the allowance and the budget let through is handled, the rest waits in the
// slot, and a peer that goes meanwhile leaves at once.
#include "tests/server/core/FakeCoreFixture.h"

#include <QCoreApplication>

using namespace testing_support;
using Ending = FakeTransport::Ending;

namespace {

class PerMessage : public FakeCoreTest {
protected:
    std::string Lines(int count, std::size_t size, char fill = 'x') {
        std::string bytes;
        for (int i = 0; i < count; ++i)
            bytes += Framed(std::to_string(i) + std::string(size, fill));
        return bytes;
    }
    std::size_t ChatCount(int slot) const {
        std::size_t n = 0;
        for (const auto& m : Got(slot))
            n += m.starts_with("\xFF\xFF") ? 0 : 1;
        return n;
    }
    void SetFlood(double rate, int burst) {
        server::ServerLimits limits = core.Limits();
        limits.floodRate = rate;
        limits.floodBurst = burst;
        core.setLimits(limits);
    }
};

TEST_F(PerMessage, OneArrivalOfManyLinesRelaysNoMoreThanTheAllowance) {
    SetFlood(50, 200);
    const int flooder = LoggedIn("flooder"); // "CACK" and "ACKD" took two
    const int reader = LoggedIn("reader");
    fake->Clear(reader);
    fake->Arrive(flooder, Lines(60'000, 0));
    EXPECT_EQ(ChatCount(reader), 198u);
    EXPECT_FALSE(fake->At(flooder).reading);
    // A second later, fifty more; the rest still waits in the slot.
    Advance(1000);
    EXPECT_EQ(ChatCount(reader), 248u);
    EXPECT_FALSE(fake->At(flooder).reading);
    EXPECT_EQ(Got(reader).back(), "247");
}

TEST_F(PerMessage, AThirtyLinePasteGoesThroughAtOnceAndBigLinesCountInBytes) {
    const int anna = LoggedIn("anna");
    const int bob = LoggedIn("bob");
    fake->Clear(bob);
    fake->Arrive(anna, Lines(30, 200));
    EXPECT_EQ(ChatCount(bob), 30u);
    EXPECT_TRUE(fake->At(anna).reading);

    // 45 lines of 60 kB are within the line rate, not within the bytes.
    fake->Clear(bob);
    fake->Arrive(anna, Lines(45, 60'000));
    const std::size_t first = ChatCount(bob);
    EXPECT_GE(first, 3u);
    EXPECT_LE(first, 5u);
    EXPECT_FALSE(fake->At(anna).reading);
    Advance(10'000); // 320 KiB refilled, capped at the burst
    EXPECT_LE(ChatCount(bob), first + 5);
    EXPECT_EQ(fake->EndingOf(anna), Ending::Open);
}

TEST_F(PerMessage, OverTheBudgetTheRestOfAnArrivalWaitsInTheSlot) {
    server::ServerLimits limits = core.Limits();
    limits.sendBudgetBytes = 100'000;
    limits.floodRate = 0;
    core.setLimits(limits);
    const int talker = LoggedIn("talker");
    const int slow = LoggedIn("slow");
    fake->Stall(slow, true);
    fake->Stall(talker, true);
    fake->Clear(slow);
    // 20 lines of 10 kB, each to both: the fifth pushes past the budget.
    fake->Arrive(talker, Lines(20, 10'000));
    EXPECT_TRUE(core.ReadingPausedForBudget());
    EXPECT_EQ(ChatCount(slow), 5u) << "one line past the budget, no more";
    EXPECT_FALSE(fake->At(talker).reading);
    // Both catch up: the rest goes on where it stopped, in order.
    for (int s : {slow, talker}) {
        fake->Stall(s, false);
        fake->Take(s, 1'000'000);
    }
    Advance(100);
    EXPECT_FALSE(core.ReadingPausedForBudget());
    EXPECT_EQ(ChatCount(slow), 5u) << "everyone else is read first";
    Advance(100);
    EXPECT_EQ(ChatCount(slow), 20u);
    EXPECT_EQ(Got(slow).back(), "19" + std::string(10'000, 'x'));
    EXPECT_TRUE(fake->At(talker).reading);
}

TEST_F(PerMessage, APeerThatClosesWhileWaitingLeavesAtOnce) {
    SetFlood(1, 2);
    const int anna = LoggedIn("anna"); // allowance spent on the login
    const int bob = LoggedIn("bob");
    Say(anna, "x");
    EXPECT_FALSE(fake->At(anna).reading);
    fake->PeerClose(anna);
    EXPECT_FALSE(core.IsInUse(anna));
    EXPECT_EQ(core.LoggedIn().size(), 1u);
    EXPECT_EQ(Got(bob).back(), Command("USRD1"));
    // The slot's next connection starts clean: nothing of anna's is handled.
    const int next = Connect();
    ASSERT_EQ(next, 3);
    Advance(10'000);
    EXPECT_NE(Got(bob).back(), "x");
}

// Attackers that take turns reading a little keep the backlog shrinking: the
// room still moves again within the freeze bound, and a reader that keeps up stays.
TEST_F(PerMessage, DripReadersCannotFreezeTheRoomAndAReaderThatKeepsUpStays) {
    server::ServerLimits limits = core.Limits();
    limits.sendBudgetBytes = 1'000'000;
    limits.floodRate = 0;
    core.setLimits(limits);
    const int talker = LoggedIn("talker");
    const int honest = LoggedIn("honest");
    std::vector<int> drip;
    for (int i = 0; i < 8; ++i) {
        drip.push_back(LoggedIn("drip" + std::to_string(i)));
        fake->Stall(drip.back(), true);
    }
    fake->Stall(honest, true);
    fake->Arrive(talker, Lines(4, 60'000)); // 240 KB each: 2.1 MB held
    ASSERT_TRUE(core.ReadingPausedForBudget());
    const std::int64_t frozenAt = fake->now;
    std::int64_t freeAt = -1;
    for (int step = 1; step <= 150 && freeAt < 0; ++step) {
        if (fake->Has(drip[std::size_t(step % 8)]))
            fake->Take(drip[std::size_t(step % 8)], 5'000); // one of them reads a bit
        fake->Take(honest, 8'000);                          // 80 KB/s: keeps up
        Advance(100);
        QCoreApplication::sendPostedEvents(&core);
        if (!core.ReadingPausedForBudget())
            freeAt = fake->now;
    }
    ASSERT_GE(freeAt, 0);
    EXPECT_LE(freeAt - frozenAt, 10'000);
    EXPECT_EQ(fake->EndingOf(honest), Ending::Open);
    EXPECT_EQ(fake->EndingOf(talker), Ending::Open);
    EXPECT_TRUE(LogHas("Client leest niet meer, verbinding wordt verbroken"));
}

TEST_F(PerMessage, AReaderThatFallsFarBehindGetsASmallSystemBuffer) {
    SetFlood(0, 1);
    const int talker = LoggedIn("talker");
    const int slow = LoggedIn("slow");
    fake->Stall(slow, true);
    fake->Arrive(talker, Lines(4, 60'000));
    EXPECT_EQ(fake->At(slow).sendBuffer, 0);
    fake->Arrive(talker, Lines(8, 60'000));
    EXPECT_EQ(fake->At(slow).sendBuffer, server::ServerCore::kBoundedSendBuffer);
    EXPECT_EQ(fake->At(talker).sendBuffer, 0);
}

} // namespace
