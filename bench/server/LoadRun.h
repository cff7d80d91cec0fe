// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One run of the load generator against a chat server on this machine: log N
// clients in, let them chat, and measure what the server did.
#include "bench/server/LatencyHistogram.h"

#include <cstdint>
#include <string>
#include <sys/types.h>

namespace loadgen {

struct Options {
    std::string host = "127.0.0.1"; // loopback only
    std::uint16_t port = 12345;
    std::uint32_t clients = 50;
    std::uint64_t lines = 0;   // per client; 0 with rate 0 and seconds 0: log in only
    std::uint32_t window = 64; // unanswered lines a client may have out
    double seconds = 0;        // stop sending after this long (paced: the run length)
    double rate = 0;           // paced: target deliveries per second; 0 = as fast as the window allows
    std::uint32_t filler = 0;  // extra letters per chat line
    pid_t serverPid = 0;       // for CPU and memory figures; 0 = none
    double loginTimeout = 60;  // from the first connection to the last login
    double chatTimeout = 120;  // the whole chat phase, drain included
    double waitListen = 0;     // wait this long for the server to listen before starting
    std::uint32_t connectConcurrency = 200; // logins in progress at once
    std::uint32_t senders = 0;              // the first S clients send, the rest only listen; 0 = all
    std::uint32_t idle = 0;                 // extra connections that never log in nor speak
    std::uint32_t sources = 1; // loopback source addresses 127.0.0.1..N to spread connections over
    bool tls = false;          // every client connects over TLS
};

struct Report {
    int exitCode = 0; // 0 ok, 3 a connection or login failed, 4 a time limit passed
    std::string error;

    std::uint32_t clients = 0, loggedIn = 0;
    double loginSeconds = 0;           // first connection attempt -> last client logged in
    double loginServerCpuSeconds = -1; // server CPU over the same stretch; -1 unknown
    std::uint64_t rssKbAfterLogin = 0, rssKbAfterChat = 0;
    std::uint64_t serverFds = 0;     // the server's descriptors after login; 0 unknown
    std::uint64_t idleStillOpen = 0; // idle connections the server had not closed at the end

    bool chatted = false;
    std::uint64_t linesSent = 0, deliveries = 0, expectedDeliveries = 0;
    std::uint64_t outOfOrder = 0, foreignLines = 0;
    double chatSeconds = 0; // first line sent -> last delivery received
    double deliveriesPerSecond = 0;
    double targetRate = 0;
    double maxSendLagMs = 0; // paced: how far behind its schedule the generator sent
    bool haveCpu = false;
    std::uint64_t serverCpuNs = 0;
    double serverCpuNsPerDelivery = 0;
    // The user part alone: on loopback the kernel time of the server's sends also
    // carries the receiving side's TCP work, which a real network would not.
    double serverUserNsPerDelivery = 0;
    LatencyHistogram latency;
    LatencyHistogram handshakes; // TLS: connect -> handshake done, per client
};

Report Run(const Options& options);

// Parses the command line; false (with a message) on a bad argument.
bool ParseOptions(int argc, char** argv, Options& options, std::string& error);
std::string Usage();

} // namespace loadgen
