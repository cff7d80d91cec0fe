// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/client/BurstPeer.h"
#include "bench/client/BurstTimeline.h"
#include "common/ZindleDivideCombine.h"
#include "common/ZindleFraming.h"
#include "common/ZindleMessages.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace burst {
namespace {

using Clock = BurstTimeline::Clock;
using std::chrono::microseconds;

TEST(BurstTimeline, FiguresCompareTheFirstAndLastStretch) {
    BurstTimeline t(100);
    const Clock::time_point start{};
    // 10 us per line for the first half, 25 us per line after.
    Clock::time_point at = start;
    for (int n = 1; n <= 100; ++n) {
        t.Shown(n, at);
        at += microseconds(n < 50 ? 10 : 25);
    }
    ASSERT_TRUE(t.complete());
    const auto f = t.Figures(20, start + microseconds(1000));
    ASSERT_TRUE(f.has_value());
    EXPECT_DOUBLE_EQ(f->firstWindowUsPerLine, 10.0);
    EXPECT_DOUBLE_EQ(f->lastWindowUsPerLine, 25.0);
    EXPECT_DOUBLE_EQ(f->ratio, 2.5);
    EXPECT_EQ(f->outOfOrder, 0);
    // Last line at 49*10 + 50*25 us = 1740 us; the last byte went at 1000 us.
    EXPECT_NEAR(f->lastLineAfterLastByteSeconds, 740e-6, 1e-9);
    EXPECT_FALSE(t.Figures(50, start).has_value()); // two stretches must fit
}

TEST(BurstTimeline, MissingOrRepeatedLinesAreNoticed) {
    BurstTimeline t(5);
    for (int n : {1, 2, 4, 3, 3, 0, 6})
        t.Shown(n, Clock::now());
    EXPECT_EQ(t.shown(), 4);
    EXPECT_FALSE(t.complete());
    EXPECT_FALSE(t.Figures(1, Clock::now()).has_value());
    t.Shown(5, Clock::now());
    ASSERT_TRUE(t.complete());
    EXPECT_EQ(t.Figures(1, Clock::now())->outOfOrder, 4); // 4, 3, 3 again and the 5 after it

    EXPECT_EQ(BurstTimeline::LineNumber("peer> regel 123 xxx\r\n", "peer"), 123);
    EXPECT_FALSE(BurstTimeline::LineNumber("peerx> regel 1\r\n", "peer").has_value());
    EXPECT_FALSE(BurstTimeline::LineNumber("bench> regel 1\r\n", "peer").has_value());
    EXPECT_FALSE(BurstTimeline::LineNumber("peer> regel \r\n", "peer").has_value());
}

// A bare client for the peer: log in, then collect every chat line, bounded in time.
TEST(BurstPeer, AnswersTheLoginAndSendsEveryLineOnce) {
    namespace msg = ZindleMessages;
    BurstPeer peer(500, 10);
    ASSERT_NE(peer.port(), 0);
    peer.Start(std::chrono::seconds(5));

    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(peer.port());
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    const std::string cack = ZindleWire::Frame(msg::BuildCack("bench", "", "0.2 build #0013"), true);
    ASSERT_EQ(::send(fd, cack.data(), cack.size(), 0), static_cast<ssize_t>(cack.size()));

    std::vector<std::string> commands, lines;
    ZindleWire::MessageBuffer buffer;
    bool ackSent = false;
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (lines.size() < 500 && Clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        char chunk[8192];
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0)
            break;
        buffer.Feed(std::string_view(chunk, static_cast<std::size_t>(n)), [&](std::string_view m) {
            const auto message = msg::Classify(m);
            if (message.kind == msg::Kind::Command)
                commands.emplace_back(message.code);
            else
                lines.push_back(ZindleDivideCombine::Unescape(m));
            return true;
        });
        if (!ackSent && !commands.empty()) {
            EXPECT_EQ(commands.front(), "SACK");
            const std::string ackd = ZindleWire::Frame(msg::kAckd, true);
            ::send(fd, ackd.data(), ackd.size(), 0);
            ackSent = true;
        }
    }
    ::close(fd);
    EXPECT_EQ(commands, (std::vector<std::string>{"SACK", "SINF", "MOTD", "USRL"}));
    ASSERT_EQ(lines.size(), 500u);
    EXPECT_EQ(lines.front(), BurstPeer::LineText(1, 10));
    EXPECT_EQ(lines.back(), "peer> regel 500 xxxxxxxxxx\r\n");
    const auto until = Clock::now() + std::chrono::seconds(5);
    while (!peer.finished() && Clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(peer.finished());
    EXPECT_EQ(peer.error(), "");
}

} // namespace
} // namespace burst
