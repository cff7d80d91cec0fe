// SPDX-License-Identifier: GPL-3.0-or-later
// The whole generator against a small relay on 127.0.0.1; every run is bounded
// by the generator's own time limits of a few seconds.
#include "bench/server/LoadRun.h"
#include "bench/server/tests/FakeChatServer.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace loadgen {
namespace {

using test::FakeChatServer;

Options Small(std::uint16_t port) {
    Options o;
    o.port = port;
    o.clients = 4;
    o.lines = 30;
    o.window = 5;
    o.loginTimeout = 5;
    o.chatTimeout = 5;
    o.serverPid = getpid();
    return o;
}

TEST(LoadRun, EveryLineReachesEveryOtherClientInOrder) {
    FakeChatServer server;
    const Report r = loadgen::Run(Small(server.port()));
    ASSERT_EQ(r.exitCode, 0) << r.error;
    EXPECT_EQ(r.loggedIn, 4u);
    EXPECT_EQ(r.linesSent, 4u * 30u);
    EXPECT_EQ(r.deliveries, 4u * 30u * 3u);
    EXPECT_EQ(r.expectedDeliveries, r.deliveries);
    EXPECT_EQ(r.outOfOrder, 0u);
    EXPECT_EQ(r.latency.Count(), r.deliveries);
    EXPECT_GT(r.deliveriesPerSecond, 0.0);
    EXPECT_TRUE(r.haveCpu);
    EXPECT_GT(r.rssKbAfterLogin, 0u);
}

TEST(LoadRun, PacedRunKeepsToItsSchedule) {
    // All four send, or only two of them while the others listen: the same number
    // of deliveries per second either way.
    struct Case {
        std::uint32_t senders;
        double rate; // deliveries/s
        std::uint64_t lines;
    };
    for (const Case c : {Case{0, 3000, 4u * 125u}, Case{2, 1500, 2u * 125u}}) {
        FakeChatServer server;
        Options o = Small(server.port());
        o.lines = 0;
        o.senders = c.senders;
        o.rate = c.rate; // 1000 resp. 500 lines/s, each to 3 others
        o.seconds = 0.5;
        o.window = 1000;
        const Report r = loadgen::Run(o);
        ASSERT_EQ(r.exitCode, 0) << r.error;
        EXPECT_EQ(r.linesSent, c.lines) << c.senders;
        EXPECT_EQ(r.deliveries, r.linesSent * 3u);
        // Paced, the run lasts about as long as the schedule, not as long as the relay needs.
        EXPECT_GT(r.chatSeconds, 0.45);
        EXPECT_LT(r.chatSeconds, 4.0);
    }
}

TEST(LoadRun, FailuresEndTheRunWithTheirOwnExitCode) {
    {
        FakeChatServer refusing({.refuseWith = "PASS"});
        const Report r = loadgen::Run(Small(refusing.port()));
        EXPECT_EQ(r.exitCode, 3);
        EXPECT_NE(r.error.find("ERROPASS"), std::string::npos) << r.error;
    }
    {
        // A relay that loses lines never completes: the chat time limit ends the run.
        FakeChatServer lossy({.refuseWith = {}, .dropEvery = 7});
        Options o = Small(lossy.port());
        o.chatTimeout = 1;
        const Report r = loadgen::Run(o);
        EXPECT_EQ(r.exitCode, 4);
        EXPECT_LT(r.deliveries, r.expectedDeliveries);
    }
    {
        Options o = Small(1);
        o.host = "10.0.0.1";
        EXPECT_EQ(loadgen::Run(o).exitCode, 2);
    }
}

TEST(LoadRun, ListenersOnlyReceiveAndIdleConnectionsStayQuiet) {
    FakeChatServer server;
    Options o = Small(server.port());
    o.senders = 1;
    o.lines = 20;
    o.idle = 30;
    o.sources = 3; // 127.0.0.1 to 127.0.0.3
    const Report r = loadgen::Run(o);
    ASSERT_EQ(r.exitCode, 0) << r.error;
    EXPECT_EQ(r.loggedIn, 4u);
    EXPECT_EQ(r.linesSent, 20u);
    EXPECT_EQ(r.deliveries, 20u * 3u);
    EXPECT_EQ(r.expectedDeliveries, r.deliveries);
    EXPECT_EQ(r.outOfOrder, 0u);
    EXPECT_EQ(r.latency.Count(), r.deliveries);
    EXPECT_EQ(r.idleStillOpen, 30u);
    EXPECT_GE(r.serverFds, 30u);
}

TEST(LoadRun, WaitsOnlyBoundedlyForAServerThatIsNotThere) {
    std::uint16_t port = 0;
    {
        FakeChatServer gone;
        port = gone.port();
    }
    Options o = Small(port);
    o.waitListen = 0.3;
    const Report r = loadgen::Run(o);
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.loggedIn, 0u);
}

TEST(LoadOptions, RejectsWhatCannotRun) {
    auto parse = [](std::vector<const char*> args, Options& o) {
        args.insert(args.begin(), "zindle_loadgen");
        std::string error;
        return ParseOptions(static_cast<int>(args.size()), const_cast<char**>(args.data()), o, error);
    };
    Options o;
    EXPECT_TRUE(parse({"--clients", "200", "--seconds", "5", "--window", "32", "--port", "4000"}, o));
    EXPECT_EQ(o.clients, 200u);
    EXPECT_EQ(o.port, 4000);
    EXPECT_DOUBLE_EQ(o.seconds, 5.0);
    Options bad;
    EXPECT_FALSE(parse({"--clients", "0"}, bad));
    EXPECT_FALSE(parse({"--rate", "1000"}, bad)); // paced needs a length
    EXPECT_FALSE(parse({"--port"}, bad));
    EXPECT_FALSE(parse({"--bogus", "1"}, bad));
    EXPECT_FALSE(parse({"--clients", "1", "--rate", "5", "--seconds", "1"}, bad));
    EXPECT_FALSE(parse({"--clients", "3", "--senders", "4"}, bad));
    EXPECT_FALSE(parse({"--sources", "0"}, bad));
    EXPECT_FALSE(parse({"--sources", "255"}, bad));
}

} // namespace
} // namespace loadgen
