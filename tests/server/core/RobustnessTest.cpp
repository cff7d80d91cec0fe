// SPDX-License-Identifier: GPL-3.0-or-later
// What a misbehaving client may not do: grow the server without bound, break the
// framing for others, or make a close run twice.
#include "tests/server/core/CoreFixture.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace testing_support;
using namespace std::string_literals;

namespace {

class RobustnessTest : public CoreTest {};

TEST_F(RobustnessTest, UnterminatedFloodIsCutAtTheCap) {
    RawClient& a = LoggedInClient("anna");
    RawClient& b = LoggedInClient("bob");
    // Just under the cap, then the terminator: one long chat line.
    const std::string longLine(60 * 1024, 'x');
    b.SendRaw(longLine.substr(0, 30000));
    Settle(50);
    b.SendRaw(longLine.substr(30000) + '\0');
    ASSERT_TRUE(a.WaitForMessage(longLine, 5000));
    // Over the cap without a terminator: not our protocol.
    b.SendRaw(std::string(70 * 1024, 'y'));
    ASSERT_TRUE(b.WaitForClose());
    EXPECT_EQ(b.Messages().back(), "Wrong Protocol");
    EXPECT_TRUE(a.WaitForMessage(Cmd("USRD2")));
    EXPECT_EQ(LogCount("STATUS [2] Verbinding gesloten"), 1u);
    a.Send("nog hier");
    EXPECT_TRUE(a.WaitForMessage("nog hier"));
}

TEST_F(RobustnessTest, RefusedPeerThatClosesFirstIsReleasedOnce) {
    RawClient& a = LoggedInClient("anna");
    for (int i = 0; i < 5; ++i) {
        RawClient& c = NewClient();
        c.SendCmd("CACKanna##0.2 build \\#0013"); // refused: nickname taken
        c.Abort();                                // and gone before the server closes it
    }
    ASSERT_TRUE(WaitFor([&] { return core.ConnectionCount() == 1; }));
    Settle();
    // Which slots they got depends on how soon each was released; every
    // connection is released exactly once whichever it was.
    std::size_t leaves = 0, closes = 0;
    for (int slot = 2; slot <= 6; ++slot) {
        const std::size_t left = a.Count(Cmd("USRD" + std::to_string(slot)));
        const std::size_t closed = LogCount("STATUS [" + std::to_string(slot) + "] Verbinding gesloten");
        EXPECT_EQ(left, closed) << slot;
        leaves += left;
        closes += closed;
    }
    EXPECT_EQ(leaves, 5u);
    EXPECT_EQ(closes, 5u);
}

// A client that logs in and then never reads. Plain POSIX socket with a tiny
// receive buffer, so the server's unsent bytes pile up quickly.
class SilentClient {
public:
    explicit SilentClient(quint16 port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        int small = 4096;
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(port);
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ok_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    }
    ~SilentClient() { ::close(fd_); }
    bool ok() const { return ok_; }
    void Send(const std::string& bytes) { ok_ = ok_ && ::send(fd_, bytes.data(), bytes.size(), 0) > 0; }

private:
    int fd_ = -1;
    bool ok_ = false;
};

TEST_F(RobustnessTest, ClientThatStopsReadingIsDroppedOthersGoOn) {
    server::ServerLimits limits = core.Limits();
    limits.floodRate = 0; // anna floods on purpose here
    core.setLimits(limits);
    core.setChatLog(false); // keeps the STATUS lines within the log's cut
    RawClient& a = LoggedInClient("anna");
    RawClient& b = LoggedInClient("bob");
    SilentClient silent(port);
    ASSERT_TRUE(silent.ok());
    ASSERT_TRUE(WaitFor([&] { return core.ConnectionCount() == 3; }));
    silent.Send(Cmd("CACKstil##0.2 build \\#0013") + '\0' + Cmd("ACKD") + '\0');
    ASSERT_TRUE(a.WaitForMessage(Cmd("USRN3#stil#0")));

    const std::string line = "anna> " + std::string(4000, 'z') + '\0';
    std::string burst;
    for (int i = 0; i < 64; ++i)
        burst += line;
    const std::size_t base = b.Received();
    QElapsedTimer timer;
    timer.start();
    std::size_t bursts = 0;
    // Bounded: at most ~40 MB or 15 s, far more than the cap needs.
    while (core.IsInUse(3) && bursts < 160 && timer.elapsed() < 15000) {
        a.SendRaw(burst);
        ++bursts;
        // bob keeps up: every line reaches him while the silent one lags.
        WaitFor([&] { return b.Received() >= base + bursts * burst.size(); }, 2000);
    }
    ASSERT_TRUE(WaitFor([&] { return !core.IsInUse(3); }, 5000))
        << "silent client still held after " << bursts;
    EXPECT_TRUE(b.WaitForMessage(Cmd("USRD3")));
    EXPECT_TRUE(LogHas("STATUS [3] Client leest niet meer"));
    EXPECT_EQ(LogCount("STATUS [3] Verbinding gesloten"), 1u);
    // Everyone else received every line.
    EXPECT_TRUE(WaitFor([&] { return b.Received() >= base + bursts * burst.size(); }, 5000));
    a.Send("klaar");
    EXPECT_TRUE(b.WaitForMessage("klaar"));
}

} // namespace
