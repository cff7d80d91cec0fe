// SPDX-License-Identifier: GPL-3.0-or-later
// The core's owners on their own: a slot's input, the login desk and
// back-pressure, with their decisions checked exactly.
#include "server/core/BackPressure.h"
#include "server/core/LoginDesk.h"
#include "server/core/SlotInput.h"
#include "server/core/SlotTable.h"

#include <gtest/gtest.h>
#include <string>

using namespace server;

namespace {

TEST(SlotInput, HandsOutOneMessageAtATimeAndKeepsTheRestUntilTaken) {
    SlotInput in;
    in.Append(std::string("een\0twee\0dr", 11));
    std::string_view m;
    ASSERT_EQ(in.Peek(&m), SlotInput::Next::Message);
    EXPECT_EQ(m, "een");
    // Not taken: the same message again, however often it is asked for.
    ASSERT_EQ(in.Peek(&m), SlotInput::Next::Message);
    EXPECT_EQ(m, "een");
    in.Pop();
    ASSERT_EQ(in.Peek(&m), SlotInput::Next::Message);
    EXPECT_EQ(m, "twee");
    in.Pop();
    EXPECT_EQ(in.Peek(&m), SlotInput::Next::Empty);
    EXPECT_EQ(in.Size(), 2u) << "the unterminated rest stays";
    in.Append(std::string("ie\0", 3));
    ASSERT_EQ(in.Peek(&m), SlotInput::Next::Message);
    EXPECT_EQ(m, "drie");
    in.Pop();
    EXPECT_EQ(in.Peek(&m), SlotInput::Next::Empty);
    EXPECT_TRUE(in.Empty());
}

TEST(SlotInput, AMessageOverTheCapOverflowsEndedOrNot) {
    SlotInput ended;
    ended.Append(std::string(ZindleWire::kMaxPendingBytes + 1, 'x') + '\0');
    std::string_view m;
    EXPECT_EQ(ended.Peek(&m), SlotInput::Next::Overflow);
    SlotInput open;
    open.Append(std::string(ZindleWire::kMaxPendingBytes, 'x'));
    EXPECT_EQ(open.Peek(&m), SlotInput::Next::Empty);
    open.Append("x");
    EXPECT_EQ(open.Peek(&m), SlotInput::Next::Overflow);
}

TEST(SlotTable, GenerationsMoveOnAtEveryReleaseAndTheCounterGoesRound) {
    SlotTable table;
    const int first = table.TakeFree();
    ASSERT_EQ(first, 1);
    table.Occupy(first, "10.0.0.1", 4000, 0);
    const auto generation = table[1].generation;
    EXPECT_EQ(table.TakeFree(), 2) << "a slot in use is passed over";
    table.Free(first);
    table.Free(first); // a second release changes nothing
    EXPECT_EQ(table.Count(), 0);
    EXPECT_EQ(table[1].generation, generation + 1);
    EXPECT_TRUE(table[1].ip.empty());
}

TEST(LoginDesk, AtItsLimitAnAddressOffersItsOldestWaiting) {
    LoginDesk desk;
    const std::string key = AddressKey("10.0.0.1");
    desk.Enter({1, 7}, key, 0);
    desk.Enter({2, 3}, key, 10);
    desk.Enter({3, 0}, AddressKey("10.0.0.2"), 20);
    EXPECT_FALSE(desk.OldestAtLimit(key, 3));
    EXPECT_FALSE(desk.OldestAtLimit(key, 0)) << "0: no limit";
    ASSERT_TRUE(desk.OldestAtLimit(key, 2));
    EXPECT_EQ(*desk.OldestAtLimit(key, 2), (SlotRef{1, 7}));
    desk.Leave(1);
    EXPECT_EQ(desk.WaitingFrom(key), 1);
    EXPECT_EQ(*desk.OldestAtLimit(key, 1), (SlotRef{2, 3}));
}

TEST(LoginDesk, DeadlinesComeInOrderAndSkipWhoLeft) {
    LoginDesk desk;
    desk.Enter({1, 0}, "a", 0);
    desk.Enter({2, 0}, "a", 100);
    desk.Enter({3, 0}, "b", 200);
    desk.Leave(2);
    EXPECT_TRUE(desk.Overdue(999, 1000).empty());
    EXPECT_EQ(desk.Overdue(1200, 1000), (std::vector<SlotRef>{{1, 0}, {3, 0}}));
    desk.Leave(1);
    desk.Leave(3);
    EXPECT_TRUE(desk.Overdue(5000, 1000).empty());
}

TEST(LoginDesk, ANicknameHasOneHolderAndIgnoredMessagesAreCountedOnce) {
    LoginDesk desk;
    EXPECT_TRUE(desk.Reserve("anna", 1));
    EXPECT_TRUE(desk.Reserve("anna", 1));
    EXPECT_FALSE(desk.Reserve("anna", 2));
    EXPECT_TRUE(desk.HeldByOther("anna", 2));
    desk.Unreserve("anna", 2); // not the holder: nothing
    EXPECT_TRUE(desk.HeldByOther("anna", 2));
    desk.Unreserve("anna", 1);
    EXPECT_TRUE(desk.Reserve("anna", 2));

    desk.Enter({4, 0}, "a", 0);
    desk.CountIgnored(4);
    desk.CountIgnored(4);
    desk.CountIgnored(5); // not waiting: nothing
    EXPECT_EQ(desk.Leave(4), 2);
    EXPECT_EQ(desk.Leave(4), 0);
}

class Pressure : public ::testing::Test {
protected:
    ServerLimits limits;
    BackPressure pressure{limits};
};

TEST_F(Pressure, TheAllowanceCountsLinesAndBytesAndRefillsAtItsRate) {
    limits.floodRate = 10;
    limits.floodBurst = 3;
    limits.floodBytesPerSecond = 1000;
    limits.floodByteBurst = 2000;
    pressure.Fill(1, 0);
    EXPECT_TRUE(pressure.Take(1, 1500, 0));
    EXPECT_FALSE(pressure.Take(1, 600, 0)) << "500 bytes left";
    EXPECT_TRUE(pressure.Take(1, 500, 0));
    EXPECT_FALSE(pressure.Take(1, 1, 0)) << "out of bytes";
    // A tenth of a second later: one line and 100 bytes more.
    EXPECT_TRUE(pressure.Take(1, 1, 100));
    EXPECT_TRUE(pressure.Take(1, 1, 100));
    EXPECT_FALSE(pressure.Take(1, 1, 100)) << "out of lines";
    // A message larger than the byte burst waits for a full allowance.
    pressure.Wait({1, 0}, 60'000);
    EXPECT_TRUE(pressure.Waiting(1));
    EXPECT_TRUE(pressure.Refilled(1000).empty());
    EXPECT_EQ(pressure.Refilled(2200), (std::vector<SlotRef>{{1, 0}}));
    EXPECT_FALSE(pressure.Waiting(1));
    EXPECT_TRUE(pressure.Take(1, 60'000, 2200));
    limits.floodRate = 0;
    EXPECT_TRUE(pressure.Take(1, 60'000, 2200)) << "off: no limit on bytes either";
}

TEST_F(Pressure, OverBudgetWhoWouldNotClearInTimeGoesLargestFirst) {
    limits.sendBudgetBytes = 100'000;
    EXPECT_FALSE(pressure.ShouldPause(100'000));
    ASSERT_TRUE(pressure.ShouldPause(120'001));
    pressure.StartPause(0, {{1, 60'000}, {2, 40'000}, {3, 20'001}});
    // Too early to tell a slow reader from a gone one.
    EXPECT_TRUE(
        pressure.ToDrop(BackPressure::kMeasureMs - 1, {{1, 60'000}, {2, 40'000}, {3, 20'001}}).empty());
    // 2 drains 15 bytes/ms: it clears in time. 1 and 3 took nothing; dropping 1 is enough.
    EXPECT_EQ(pressure.ToDrop(BackPressure::kMeasureMs, {{1, 60'000}, {2, 10'000}, {3, 20'001}}),
              (std::vector<int>{1}));
    // Someone that drains, but too slowly to clear in time, goes too.
    EXPECT_EQ(pressure.ToDrop(4000, {{1, 59'000}, {3, 2'000}}), (std::vector<int>{1}));
    EXPECT_TRUE(pressure.ToDrop(4000, {{1, 40'000}, {3, 2'000}}).empty())
        << "1 drains 5 bytes/ms: 20 KB left when time is up";
    // When time is up, whatever is left counts whole.
    EXPECT_EQ(pressure.ToDrop(BackPressure::kMaxFreezeMs, {{1, 40'000}, {2, 10'001}, {3, 2'000}}),
              (std::vector<int>{1}));
    EXPECT_FALSE(pressure.ShouldResume(50'001));
    EXPECT_TRUE(pressure.ShouldResume(50'000));
    pressure.EndPause();
    EXPECT_FALSE(pressure.Paused());
}

} // namespace
