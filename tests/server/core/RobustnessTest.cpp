// SPDX-License-Identifier: GPL-3.0-or-later
// What a misbehaving client may not do: grow the server without bound, break the
// framing for others, or make a close run twice.
#include "tests/server/core/FakeCoreFixture.h"

#include <QCoreApplication>

using namespace testing_support;
using Ending = FakeTransport::Ending;
using Messages = std::vector<std::string>;

namespace {

class Robustness : public FakeCoreTest {};

TEST_F(Robustness, AnUnterminatedFloodIsCutAtTheCap) {
    const int anna = LoggedIn("anna");
    const int bob = LoggedIn("bob");
    fake->Clear(anna);
    // Just under the cap in two arrivals, then the terminator: one long chat line.
    const std::string longLine(60 * 1024, 'x');
    fake->Arrive(bob, longLine.substr(0, 30000));
    EXPECT_TRUE(Got(anna).empty());
    fake->Arrive(bob, Framed(longLine.substr(30000)));
    EXPECT_EQ(Got(anna), Messages{longLine});
    // Over the cap without a terminator: not our protocol.
    fake->Clear(anna);
    fake->Arrive(bob, std::string(70 * 1024, 'y'));
    EXPECT_EQ(Got(bob).back(), "Wrong Protocol");
    EXPECT_EQ(fake->EndingOf(bob), Ending::Closed);
    EXPECT_EQ(Got(anna), Messages{Command("USRD2")});
    EXPECT_EQ(LogCount("STATUS [2] Verbinding gesloten"), 1u);
    Say(anna, "nog hier");
    EXPECT_EQ(Got(anna).back(), "nog hier");
}

TEST_F(Robustness, AClientThatStopsReadingIsDroppedAtItsCapWhileOthersGetEveryLine) {
    server::ServerLimits limits = core.Limits();
    limits.floodRate = 0; // anna floods on purpose here
    core.setLimits(limits);
    core.setChatLog(false); // keeps the STATUS lines within the log's cut
    const int anna = LoggedIn("anna");
    const int bob = LoggedIn("bob");
    const int silent = LoggedIn("stil");
    fake->Stall(silent, true);
    fake->Clear(bob);
    const std::string line = "anna> " + std::string(4000, 'z');
    const std::size_t underCap = server::ServerCore::kMaxUnsentBytes / (line.size() + 1);
    std::string burst;
    for (std::size_t i = 0; i < underCap; ++i)
        burst += Framed(line);
    fake->Arrive(anna, burst);
    core.Tick();
    QCoreApplication::sendPostedEvents(&core);
    EXPECT_EQ(fake->EndingOf(silent), Ending::Open) << "at its cap, not over it";

    Say(anna, line);
    EXPECT_EQ(fake->EndingOf(silent), Ending::Open) << "handed over in this pass: it may still leave";
    core.Tick();
    QCoreApplication::sendPostedEvents(&core); // the drop runs after the walk
    EXPECT_EQ(fake->EndingOf(silent), Ending::Aborted);
    EXPECT_EQ(LogCount("STATUS [3] Client leest niet meer, verbinding wordt verbroken"), 1u);
    EXPECT_EQ(LogCount("STATUS [3] Verbinding gesloten"), 1u);
    // bob got every line, then the news.
    EXPECT_EQ(Got(bob).size(), underCap + 2);
    EXPECT_EQ(CountOf(bob, line), underCap + 1);
    EXPECT_EQ(Got(bob).back(), Command("USRD3"));
    Say(anna, "klaar");
    EXPECT_EQ(Got(bob).back(), "klaar");
}

} // namespace
