// SPDX-License-Identifier: GPL-3.0-or-later
// CPU per relayed line between two chatting connections while many others sit
// idle, over the epoll transport and over one Winsock object per connection, in
// the same run. Every case starts a fresh relay process; this process opens the
// connections and measures the relay's CPU time and resident memory.
// With --fanout, also CPU per delivery when every line from A goes to that many
// listening connections too (their kernel buffers hold the lines; they never read).
//   zindle_transport_bench [--transports epoll,winsock] [--idle 0,1000,5000,15000]
//                          [--fanout 1000,15000] [--rounds 3] [--seconds 2]
#include "bench/server/ProcStats.h"
#include "bench/transport/RelayClients.h"
#include "bench/transport/RelayServer.h"
#include "net/DescriptorLimit.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>
#include <vector>

using namespace transportbench;

namespace {

struct Options {
    std::vector<std::string> transports{"epoll", "winsock"};
    std::vector<int> idle{0, 1000, 5000, 15000};
    std::vector<int> fanout;
    int rounds = 3;
    double seconds = 2.0;
};

struct Result {
    double cpuUsPerRelay = 0; // per line delivered, to B, A or a listener
    double relaysPerSecond = 0;
    double rssBytesPerIdle = 0;
};

std::vector<std::string> split(const std::string& text) {
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, ',');)
        parts.push_back(part);
    return parts;
}

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i], value = argv[i + 1];
        if (key == "--transports") {
            o.transports = split(value);
        } else if (key == "--idle") {
            o.idle.clear();
            for (const auto& n : split(value))
                o.idle.push_back(std::stoi(n));
        } else if (key == "--fanout") {
            for (const auto& n : split(value))
                o.fanout.push_back(std::stoi(n));
        } else if (key == "--rounds") {
            o.rounds = std::max(1, std::stoi(value));
        } else if (key == "--seconds") {
            o.seconds = std::clamp(std::stod(value), 0.1, 30.0);
        }
    }
    return o;
}

// A relay process of the given transport; its port, or nothing.
std::optional<std::uint16_t> startRelay(const std::string& transport, pid_t* pid) {
    int fds[2];
    if (::pipe(fds) != 0)
        return std::nullopt;
    *pid = ::fork();
    if (*pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL); // never outlives the bench
        ::close(fds[0]);
        _exit(RunRelayServer(transport, fds[1]));
    }
    ::close(fds[1]);
    char text[16] = {};
    pollfd ready{fds[0], POLLIN, 0};
    const bool told = *pid > 0 && ::poll(&ready, 1, 10000) == 1 && ::read(fds[0], text, sizeof text - 1) > 0;
    ::close(fds[0]);
    if (!told)
        return std::nullopt;
    return std::uint16_t(std::stoi(text));
}

void stopRelay(pid_t pid) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

// Relays between A and B while `idle` connections say nothing, or, when `listen`,
// hear every line of A's too.
std::optional<Result> measure(const std::string& transport, int idle, bool listen, double seconds) {
    pid_t pid = -1;
    const auto port = startRelay(transport, &pid);
    if (!port) {
        if (pid > 0)
            stopRelay(pid);
        return std::nullopt;
    }
    std::vector<int> fds;
    std::optional<Result> result;
    const int control = ConnectLine(*port);
    fds.push_back(control);
    do {
        if (control < 0 || AskOpenConnections(control) != 1)
            break;
        const auto rssBefore = loadgen::ReadVmRssKb(pid);
        // The epoll transport listens with the system's backlog (4096 here); a Qt
        // listener with 50: a larger batch would have handshakes dropped.
        const int batch = transport == "epoll" ? 1000 : 40;
        std::vector<int> idleFds;
        const bool opened = OpenIdle(*port, control, idle, 1, batch, &idleFds);
        fds.insert(fds.end(), idleFds.begin(), idleFds.end());
        if (!opened || (listen && !MakeListeners(control, idleFds)))
            break;
        const auto rssIdle = loadgen::ReadVmRssKb(pid);

        const int a = ConnectLine(*port), b = ConnectLine(*port);
        fds.push_back(a);
        fds.push_back(b);
        std::string reply;
        if (!SendLine(a, "A\n") || !ReadLine(a, &reply) || !SendLine(b, "B\n") || !ReadLine(b, &reply))
            break;

        const std::string line = "Anna> hoe gaat het met iedereen vandaag?\n";
        const auto cpuBefore = loadgen::ReadCpuTicks(pid);
        const auto start = std::chrono::steady_clock::now();
        long roundTrips = 0;
        double elapsed = 0;
        bool ok = true;
        // Listeners never read: their buffers hold a thousand lines.
        const long maxRoundTrips = listen ? 1000 : 2'000'000;
        while (ok && elapsed < seconds && roundTrips < maxRoundTrips) {
            ok = SendLine(a, line) && ReadLine(b, &reply) && SendLine(b, reply) && ReadLine(a, &reply);
            ++roundTrips;
            elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        }
        const auto cpuAfter = loadgen::ReadCpuTicks(pid);
        if (!ok || !cpuBefore || !cpuAfter)
            break;
        // A's line reaches B and every listener; B's answer reaches A.
        const double relays = double(roundTrips) * (listen ? 2.0 + idle : 2.0);
        Result r;
        r.cpuUsPerRelay =
            double(loadgen::TicksToNs(*cpuAfter) - loadgen::TicksToNs(*cpuBefore)) / 1000.0 / relays;
        r.relaysPerSecond = relays / elapsed;
        if (idle > 0 && rssBefore && rssIdle)
            r.rssBytesPerIdle = (double(*rssIdle) - double(*rssBefore)) * 1024.0 / idle;
        result = r;
    } while (false);
    stopRelay(pid);
    for (const int fd : fds)
        if (fd >= 0)
            ::close(fd);
    return result;
}

struct Spread {
    double min = 0, median = 0, max = 0;
};

Spread spread(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    const double median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    return {values.front(), median, values.back()};
}

} // namespace

int main(int argc, char** argv) {
    const Options options = parse(argc, argv);
    net::RaiseDescriptorLimit();
    std::signal(SIGPIPE, SIG_IGN);

    // Rounds go over every case in turn, so that a noisy moment hits all alike.
    struct Case {
        std::string transport;
        int connections;
        bool listen;
        bool operator<(const Case& o) const {
            return std::tie(listen, transport, connections) < std::tie(o.listen, o.transport, o.connections);
        }
    };
    std::vector<Case> cases;
    for (const int idle : options.idle)
        for (const auto& transport : options.transports)
            cases.push_back({transport, idle, false});
    for (const int listeners : options.fanout)
        for (const auto& transport : options.transports)
            cases.push_back({transport, listeners, true});
    std::map<Case, std::vector<Result>> results;
    for (int round = 1; round <= options.rounds; ++round) {
        for (const Case& c : cases) {
            const auto r = measure(c.transport, c.connections, c.listen, options.seconds);
            std::fprintf(stderr, "round %d  %-7s %6d %s: %s\n", round, c.transport.c_str(), c.connections,
                         c.listen ? "listening" : "idle",
                         r ? (std::to_string(r->cpuUsPerRelay) + " us CPU per delivery").c_str() : "failed");
            if (r)
                results[c].push_back(*r);
        }
    }

    for (const bool listen : {false, true}) {
        if (listen && options.fanout.empty())
            continue;
        std::printf(listen ? "\nEvery line of A's also to N listeners: CPU per delivery\n"
                           : "Relay between A and B beside N idle connections: CPU per relay\n");
        std::printf("%-9s %6s %5s  %-30s %12s  %-8s %12s\n", "transport", "N", "runs",
                    "CPU us min / median / max", listen ? "deliveries/s" : "relays/s", "x of 1st",
                    "RSS B/conn");
        for (const auto& transport : options.transports) {
            std::optional<double> base;
            for (const int n : listen ? options.fanout : options.idle) {
                const auto it = results.find({transport, n, listen});
                if (it == results.end()) {
                    std::printf("%-9s %6d %5d  (no result)\n", transport.c_str(), n, 0);
                    continue;
                }
                std::vector<double> cpu, rate, rss;
                for (const auto& r : it->second) {
                    cpu.push_back(r.cpuUsPerRelay);
                    rate.push_back(r.relaysPerSecond);
                    rss.push_back(r.rssBytesPerIdle);
                }
                const Spread c = spread(cpu);
                if (!base)
                    base = c.median;
                char cpuText[64];
                std::snprintf(cpuText, sizeof cpuText, "%.2f / %.2f / %.2f", c.min, c.median, c.max);
                std::printf("%-9s %6d %5zu  %-30s %12.0f  %-8.2f %12.0f\n", transport.c_str(), n, cpu.size(),
                            cpuText, spread(rate).median, c.median / *base, spread(rss).median);
            }
        }
    }
    return 0;
}
