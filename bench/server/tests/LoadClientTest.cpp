// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/server/LoadClient.h"
#include "common/ZindleFraming.h"
#include "common/ZindleMessages.h"

#include <gtest/gtest.h>

namespace loadgen {
namespace {

namespace msg = ZindleMessages;
using Phase = LoadClient::Phase;

std::string Cmd(const std::string& body) {
    return ZindleWire::Frame(body, true);
}
std::string Line(const LineStamp& s) {
    std::string out;
    AppendChatLine(out, s, {});
    return out;
}

// Feeds bytes one at a time, as the worst split a socket could deliver.
void Trickle(LoadClient& c, const std::string& bytes, std::uint64_t now, std::string& out, RunTally& tally) {
    for (char b : bytes)
        c.OnData(std::string_view(&b, 1), now, out, tally);
}

TEST(LoadClient, LogsInAndIsReadyOnlyAtItsOwnUserEntry) {
    LoadClient c(2, 3);
    std::string out;
    RunTally tally;
    c.OnConnected(out);
    EXPECT_EQ(out, std::string("\xFF\xFF"
                               "CACKb2##0.2 build \\#0013",
                               26) +
                       '\0');
    out.clear();

    Trickle(c, Cmd("SACK"), 0, out, tally);
    EXPECT_EQ(out, Cmd("ACKD"));
    EXPECT_EQ(c.phase(), Phase::AwaitOwnEntry);
    // Someone else's chat may arrive before our own entry; it is not counted.
    const std::string before = Cmd(msg::BuildSinf("kamer", "0.2.0004")) + Cmd("MOTD") + Line({0, 0, 1}) +
                               Cmd(msg::BuildUserEntry(msg::kUsrl, 1, "b0", false)) +
                               Cmd(msg::BuildUserEntry(msg::kUsrl, 7, "b2x", false));
    Trickle(c, before, 0, out, tally);
    EXPECT_EQ(c.phase(), Phase::AwaitOwnEntry);
    Trickle(c, Cmd(msg::BuildUserEntry(msg::kUsrl, 9, "b2", false)), 0, out, tally);
    EXPECT_EQ(c.phase(), Phase::Ready);
    EXPECT_EQ(c.slot(), 9);
    EXPECT_EQ(tally.deliveries, 0u);
}

TEST(LoadClient, FailsOnRefusalOrOnAnythingButSack) {
    std::string out;
    RunTally tally;
    LoadClient refused(0, 1);
    refused.OnConnected(out);
    refused.OnData(Cmd("ERRONICK"), 0, out, tally);
    EXPECT_EQ(refused.phase(), Phase::Failed);
    EXPECT_NE(refused.failure().find("ERRONICK"), std::string::npos);

    LoadClient wrong(0, 1);
    wrong.OnConnected(out);
    wrong.OnData(ZindleWire::Frame("Wrong Protocol", false) + Cmd("SACK"), 0, out, tally);
    EXPECT_EQ(wrong.phase(), Phase::Failed);

    LoadClient closed(0, 1);
    closed.OnConnected(out);
    closed.OnClosed();
    EXPECT_EQ(closed.phase(), Phase::Failed);
}

TEST(LoadClient, CountsDeliveriesEchoesAndGapsWhileReady) {
    LoadClient c(1, 3);
    std::string out;
    RunTally tally;
    c.OnConnected(out);
    c.OnData(Cmd("SACK") + Cmd(msg::BuildUserEntry(msg::kUsrl, 4, "b1", false)), 0, out, tally);
    ASSERT_EQ(c.phase(), Phase::Ready);

    out.clear();
    c.SendLine(1000, {}, out);
    c.SendLine(1000, {}, out);
    EXPECT_EQ(c.inFlight(), 2u);
    EXPECT_EQ(out, Line({1, 0, 1000}) + Line({1, 1, 1000}));

    // Our first line comes back (window frees), two of b0's arrive, b2 skips seq 1.
    const std::string arrival = Line({1, 0, 1000}) + Line({0, 0, 4000}) + Line({0, 1, 5000}) +
                                Line({2, 0, 6000}) + Line({2, 2, 6000}) + Cmd(msg::BuildUsrd(3)) +
                                ZindleWire::Frame("Private message niet aangekomen", false);
    c.OnData(arrival.substr(0, 17), 9000, out, tally);
    c.OnData(arrival.substr(17), 10000, out, tally);
    EXPECT_EQ(c.inFlight(), 1u);
    EXPECT_EQ(tally.echoes, 1u);
    EXPECT_EQ(tally.deliveries, 4u);
    EXPECT_EQ(tally.outOfOrder, 1u);
    EXPECT_EQ(tally.foreignLines, 1u);
    EXPECT_EQ(tally.commands, 1u);
    EXPECT_EQ(tally.latency.Count(), 4u);
    EXPECT_EQ(tally.latency.Max(), 6000u); // 10000 - 4000: the line finished in the second read
    EXPECT_EQ(tally.lastDeliveryNs, 10000u);
}

} // namespace
} // namespace loadgen
