// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The server side of the burst: on 127.0.0.1 and a port of the system's choice,
// on a thread of its own, it answers one client's login (SACK, SINF, MOTD, its
// USRL) and then writes a burst of public chat lines as fast as the client reads.
//
//   line i (1-based) := "peer> regel " i " " filler CR LF, escaped, NUL-terminated
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

namespace burst {

class BurstPeer {
public:
    using Clock = std::chrono::steady_clock;

    BurstPeer(int lines, int fillerLength);
    ~BurstPeer();

    std::uint16_t port() const { return port_; }
    // Starts serving; the whole exchange is bounded by timeout.
    void Start(std::chrono::seconds timeout);

    // Set once the client's side has received (acknowledged) the last byte of the burst.
    bool finished() const { return finished_.load(); }
    Clock::time_point lastByteSent() const { return lastByte_; }
    const std::string& error() const { return error_; }

    // The text of line i as the client shows it (unescaped, CR LF at the end).
    static std::string LineText(int i, int fillerLength);
    // The nickname in front of every burst line.
    static constexpr const char* kNickname = "peer";

private:
    void Serve(std::chrono::seconds timeout);

    int lines_, filler_;
    int listenFd_ = -1;
    std::uint16_t port_ = 0;
    std::thread thread_;
    std::atomic<bool> finished_{false};
    Clock::time_point lastByte_{};
    std::string error_;
};

} // namespace burst
