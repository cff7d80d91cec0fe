// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/server/LoadLine.h"
#include "bench/server/LatencyHistogram.h"
#include "bench/server/ProcStats.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace loadgen {
namespace {

std::string Unframed(const LineStamp& stamp, std::string_view filler = {}) {
    std::string out;
    AppendChatLine(out, stamp, filler);
    EXPECT_EQ(out.back(), '\0');
    out.pop_back();
    return out;
}

TEST(LoadLine, IsAnEscapedChatLineThatReadsBack) {
    const LineStamp stamp{17, 42, 123456789012345ull};
    const std::string line = Unframed(stamp, "xxxx");
    EXPECT_EQ(line, "b17> m 42 123456789012345 xxxx\\r\\n");
    EXPECT_EQ(line.find('\0'), std::string::npos);
    for (const std::string& text : {line, Unframed(stamp)}) {
        const auto back = ParseChatLine(text);
        ASSERT_TRUE(back.has_value()) << text;
        EXPECT_EQ(back->sender, 17u);
        EXPECT_EQ(back->seq, 42u);
        EXPECT_EQ(back->sentNs, 123456789012345ull);
    }
}

TEST(LoadLine, OtherLinesAreNotOurs) {
    for (std::string_view text : {"Private message niet aangekomen", "Wrong Protocol", "", "b",
                                  "b1> hallo\\r\\n", "b1> m 2 3", "b1> m 2 3\\r\\nx", "b1> m 2 3x\\r\\n",
                                  "* b1 is gekicked\\r\\n", "bx> m 1 2\\r\\n", "b99999999999> m 1 2\\r\\n"})
        EXPECT_FALSE(ParseChatLine(text).has_value()) << text;
}

TEST(LatencyHistogram, PercentilesStayWithinBucketPrecision) {
    LatencyHistogram h;
    EXPECT_EQ(h.Percentile(0.99), 0u);
    for (std::uint64_t us = 1; us <= 10'000; ++us)
        h.Record(us * 1000);
    EXPECT_EQ(h.Count(), 10'000u);
    EXPECT_NEAR(static_cast<double>(h.Percentile(0.50)), 5.0e6, 5.0e6 * 0.02);
    EXPECT_NEAR(static_cast<double>(h.Percentile(0.99)), 9.9e6, 9.9e6 * 0.02);
    EXPECT_EQ(h.Percentile(1.0), 10'000'000u);
    EXPECT_NEAR(static_cast<double>(h.Percentile(0.0)), 1000.0, 1000.0 * 0.02);
    EXPECT_NEAR(h.MeanNs(), 5'000'500.0, 1.0);

    LatencyHistogram tail;
    tail.Record(3);              // small values are exact
    tail.Record(UINT64_MAX / 2); // huge ones do not overflow the table
    h.Merge(tail);
    EXPECT_EQ(h.Count(), 10'002u);
    EXPECT_EQ(h.Min(), 3u);
    EXPECT_EQ(h.Max(), UINT64_MAX / 2);
}

TEST(ProcStats, ReadsCpuAndMemoryOfAProcess) {
    // The command name may hold spaces and parentheses: fields count from the last ')'.
    const auto ticks = ParseStat("4242 (Zindle (x) y) S 1 2 3 4 5 6 7 8 9 10 250 31 0 0 20 0 1 0");
    ASSERT_TRUE(ticks.has_value());
    EXPECT_EQ(ticks->user, 250u);
    EXPECT_EQ(ticks->system, 31u);
    EXPECT_FALSE(ParseStat("4242 (kapot").has_value());
    EXPECT_FALSE(ParseStat("1 (a) S 1 2").has_value());

    EXPECT_EQ(ParseVmRssKb("Name:\tx\nVmPeak:\t 9 kB\nVmRSS:\t   12345 kB\n"), 12345u);
    EXPECT_FALSE(ParseVmRssKb("Name:\tx\n").has_value());

    EXPECT_TRUE(ReadCpuTicks(getpid()).has_value());
    EXPECT_GT(ReadVmRssKb(getpid()).value_or(0), 0u);
    EXPECT_EQ(TicksToNs(CpuTicks{1, 1}), 2'000'000'000ull / static_cast<std::uint64_t>(sysconf(_SC_CLK_TCK)));
}

} // namespace
} // namespace loadgen
