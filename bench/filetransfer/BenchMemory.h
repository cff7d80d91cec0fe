// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Peak resident memory and CPU time of this process, from /proc and getrusage.
#include <fstream>
#include <string>
#include <sys/resource.h>

inline long PeakRssKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

// User plus system time, all threads.
inline double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}
