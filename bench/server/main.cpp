// SPDX-License-Identifier: GPL-3.0-or-later
// zindle_loadgen: logs simulated users into a chat server on this machine, lets
// them chat, and prints what it measured; the last line is machine-readable.
#include "bench/server/LoadRun.h"

#include <cstdio>

int main(int argc, char** argv) {
    loadgen::Options options;
    std::string error;
    if (!loadgen::ParseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    const loadgen::Report r = loadgen::Run(options);

    std::printf("clients          %u (ingelogd %u) in %.3f s", r.clients, r.loggedIn, r.loginSeconds);
    if (r.loginServerCpuSeconds >= 0)
        std::printf(", server CPU %.2f s", r.loginServerCpuSeconds);
    std::printf("\n");
    if (r.handshakes.Count() > 0)
        std::printf("TLS-handdruk     p50 %.3f ms, p99 %.3f ms, max %.3f ms\n",
                    static_cast<double>(r.handshakes.Percentile(0.50)) / 1e6,
                    static_cast<double>(r.handshakes.Percentile(0.99)) / 1e6,
                    static_cast<double>(r.handshakes.Max()) / 1e6);
    if (options.idle > 0)
        std::printf("stil             %u verbindingen, aan het eind nog %llu open\n", options.idle,
                    static_cast<unsigned long long>(r.idleStillOpen));
    if (r.rssKbAfterLogin)
        std::printf("server VmRSS     %.1f MB na inloggen\n",
                    static_cast<double>(r.rssKbAfterLogin) / 1024.0);
    if (r.chatted) {
        std::printf("regels verstuurd %llu, afleveringen %llu van %llu\n",
                    static_cast<unsigned long long>(r.linesSent),
                    static_cast<unsigned long long>(r.deliveries),
                    static_cast<unsigned long long>(r.expectedDeliveries));
        std::printf("afleveringen/s   %.0f over %.3f s%s\n", r.deliveriesPerSecond, r.chatSeconds,
                    r.targetRate > 0 ? " (gepaced)" : "");
        if (r.targetRate > 0)
            std::printf("doel             %.0f/s, grootste achterstand van de generator %.2f ms\n",
                        r.targetRate, r.maxSendLagMs);
        std::printf("latentie         p50 %.3f ms, p99 %.3f ms, max %.3f ms (%llu metingen)\n",
                    static_cast<double>(r.latency.Percentile(0.50)) / 1e6,
                    static_cast<double>(r.latency.Percentile(0.99)) / 1e6,
                    static_cast<double>(r.latency.Max()) / 1e6,
                    static_cast<unsigned long long>(r.latency.Count()));
        if (r.haveCpu)
            std::printf("server CPU       %.3f s, %.1f ns per aflevering (waarvan user %.1f ns)\n",
                        static_cast<double>(r.serverCpuNs) / 1e9, r.serverCpuNsPerDelivery,
                        r.serverUserNsPerDelivery);
        if (r.outOfOrder || r.foreignLines)
            std::printf("afwijkingen      %llu buiten volgorde, %llu vreemde regels\n",
                        static_cast<unsigned long long>(r.outOfOrder),
                        static_cast<unsigned long long>(r.foreignLines));
    }
    if (r.exitCode != 0)
        std::fprintf(stderr, "FOUT: %s\n", r.error.c_str());

    std::printf(
        "RESULT ok=%d clients=%u logged_in=%u login_s=%.3f login_cpu_s=%.2f rss_login_kb=%llu "
        "rss_chat_kb=%llu "
        "lines=%llu deliveries=%llu expected=%llu rate=%.0f chat_s=%.3f p50_ms=%.3f p99_ms=%.3f "
        "max_ms=%.3f cpu_ns_per_delivery=%.1f user_ns_per_delivery=%.1f out_of_order=%llu "
        "target_rate=%.0f lag_ms=%.2f idle=%u idle_open=%llu server_fds=%llu handshake_p99_ms=%.3f\n",
        r.exitCode == 0, r.clients, r.loggedIn, r.loginSeconds, r.loginServerCpuSeconds,
        static_cast<unsigned long long>(r.rssKbAfterLogin), static_cast<unsigned long long>(r.rssKbAfterChat),
        static_cast<unsigned long long>(r.linesSent), static_cast<unsigned long long>(r.deliveries),
        static_cast<unsigned long long>(r.expectedDeliveries), r.deliveriesPerSecond, r.chatSeconds,
        static_cast<double>(r.latency.Percentile(0.50)) / 1e6,
        static_cast<double>(r.latency.Percentile(0.99)) / 1e6, static_cast<double>(r.latency.Max()) / 1e6,
        r.haveCpu ? r.serverCpuNsPerDelivery : -1.0, r.haveCpu ? r.serverUserNsPerDelivery : -1.0,
        static_cast<unsigned long long>(r.outOfOrder), r.targetRate, r.maxSendLagMs, options.idle,
        static_cast<unsigned long long>(r.idleStillOpen), static_cast<unsigned long long>(r.serverFds),
        static_cast<double>(r.handshakes.Percentile(0.99)) / 1e6);
    return r.exitCode;
}
