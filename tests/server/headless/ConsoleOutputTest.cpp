// SPDX-License-Identifier: GPL-3.0-or-later
// Standard output that never waits for its reader: whole lines are kept or
// dropped, dropped ones are counted and reported once the reader caught up.
#include "server/headless/ConsoleOutput.h"

#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

namespace {

struct Pipe {
    int fds[2] = {-1, -1};
    Pipe() { EXPECT_EQ(::pipe2(fds, O_NONBLOCK), 0); }
    ~Pipe() {
        ::close(fds[0]);
        ::close(fds[1]);
    }
    // Fills the pipe until the system takes no more.
    void Fill() {
        const std::string block(4096, 'f');
        while (::write(fds[1], block.data(), block.size()) > 0) {
        }
    }
    std::string Drain() {
        std::string all;
        char chunk[65536];
        for (ssize_t n; (n = ::read(fds[0], chunk, sizeof chunk)) > 0;)
            all.append(chunk, std::size_t(n));
        return all;
    }
};

TEST(ConsoleOutputTest, AReaderThatFallsBehindLosesWholeLinesAndHearsHowMany) {
    Pipe pipe;
    pipe.Fill();
    server::ConsoleOutput out(pipe.fds[1], 1000);
    for (int i = 10; i < 30; ++i) // 100 bytes a line, with its newline
        out.AppendLatin1Line("regel " + std::to_string(i) + std::string(91, '.'));
    out.Flush(); // returns at once: nobody reads
    EXPECT_GT(out.Pending(), 0u);
    EXPECT_EQ(out.TakeDroppedOnceCaughtUp(), 0u) << "not caught up yet";

    // The writer goes on once the reader takes the filler.
    std::string got;
    for (int i = 0; i < 500 && (out.Pending() > 0 || got.find_first_not_of('f') == std::string::npos); ++i) {
        got += pipe.Drain();
        ::usleep(10000);
    }
    got += pipe.Drain();
    EXPECT_EQ(out.Pending(), 0u);
    got.erase(0, got.find_first_not_of('f'));
    // Ten lines fit in 1000 bytes; the others went whole.
    ASSERT_EQ(got.size(), 1000u);
    EXPECT_EQ(got.substr(0, 9), "regel 10.");
    EXPECT_EQ(got.substr(900, 9), "regel 19.");
    EXPECT_EQ(out.TakeDroppedOnceCaughtUp(), 10u);
    EXPECT_EQ(out.TakeDroppedOnceCaughtUp(), 0u);
}

// The end of the program does not wait for a reader that never comes.
TEST(ConsoleOutputTest, TheEndWaitsBrieflyForAReaderThatTakesNothing) {
    Pipe pipe;
    pipe.Fill();
    const int flags = ::fcntl(pipe.fds[1], F_GETFL);
    ::fcntl(pipe.fds[1], F_SETFL, flags & ~O_NONBLOCK); // a plain blocking pipe, as a shell gives
    const auto start = std::chrono::steady_clock::now();
    {
        server::ConsoleOutput out(pipe.fds[1]);
        out.AppendLatin1Line("laatste woorden");
    }
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, std::chrono::seconds(3));
    EXPECT_EQ(::fcntl(pipe.fds[1], F_GETFL), flags & ~O_NONBLOCK) << "the description's flags are not ours";
    for (int i = 0; i < 100; ++i) { // lets the writer left behind finish before the pipe closes
        pipe.Drain();
        ::usleep(10000);
    }
}

TEST(ConsoleOutputTest, ControlCharactersFromTheNetworkShowAsEscapes) {
    EXPECT_EQ(server::EscapeForTerminal(QString::fromLatin1("a\x1b[31mb\n\tc\x85\x7f\r")),
              QString::fromLatin1("a\\x1B[31mb\n\tc\\x85\\x7F\\x0D"));
    EXPECT_EQ(server::EscapeForTerminal("gewoon"), "gewoon");
}

} // namespace
