// SPDX-License-Identifier: GPL-3.0-or-later
// Standard output that never waits for its reader: whole lines are kept or
// dropped, dropped ones are counted and reported once the reader caught up.
#include "server/headless/ConsoleOutput.h"

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

    std::string got = pipe.Drain();
    out.Flush();
    EXPECT_EQ(out.Pending(), 0u);
    got = pipe.Drain();
    // Ten lines fit in 1000 bytes; the others went whole.
    EXPECT_EQ(got.size(), 1000u);
    EXPECT_EQ(got.substr(0, 9), "regel 10.");
    EXPECT_EQ(got.substr(900, 9), "regel 19.");
    EXPECT_EQ(out.TakeDroppedOnceCaughtUp(), 10u);
    EXPECT_EQ(out.TakeDroppedOnceCaughtUp(), 0u);
}

TEST(ConsoleOutputTest, ControlCharactersFromTheNetworkShowAsEscapes) {
    EXPECT_EQ(server::EscapeForTerminal(QString::fromLatin1("a\x1b[31mb\n\tc\x85\x7f\r")),
              QString::fromLatin1("a\\x1B[31mb\n\tc\\x85\\x7F\\x0D"));
    EXPECT_EQ(server::EscapeForTerminal("gewoon"), "gewoon");
}

} // namespace
