// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the kernel tells about the server process: CPU time and resident memory.
#include <cstdint>
#include <optional>
#include <string_view>
#include <sys/types.h>

namespace loadgen {

struct CpuTicks {
    std::uint64_t user = 0, system = 0; // clock ticks (sysconf(_SC_CLK_TCK) per second)
};

// Parses the text of /proc/<pid>/stat: utime and stime are fields 14 and 15,
// counted after the command name, which may itself hold spaces and parentheses.
std::optional<CpuTicks> ParseStat(std::string_view text);
// Parses the text of /proc/<pid>/status for "VmRSS:  <n> kB".
std::optional<std::uint64_t> ParseVmRssKb(std::string_view text);

std::optional<CpuTicks> ReadCpuTicks(pid_t pid);
std::optional<std::uint64_t> ReadVmRssKb(pid_t pid);
// Open descriptors: the entries of /proc/<pid>/fd.
std::optional<std::uint64_t> ReadFdCount(pid_t pid);
// User plus system time in nanoseconds.
std::uint64_t TicksToNs(const CpuTicks& ticks);

} // namespace loadgen
