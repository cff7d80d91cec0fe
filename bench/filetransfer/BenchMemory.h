// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Peak resident memory of this process, from /proc.
#include <fstream>
#include <string>

inline long PeakRssKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}
