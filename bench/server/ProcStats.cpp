// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/server/ProcStats.h"

#include <dirent.h>

#include <charconv>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace loadgen {
namespace {

std::optional<std::string> Slurp(const std::string& path) {
    std::ifstream in(path);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string_view NextToken(std::string_view& text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    const std::size_t end = std::min(text.find(' '), text.size());
    const std::string_view token = text.substr(0, end);
    text.remove_prefix(end);
    return token;
}

std::optional<std::uint64_t> ToNumber(std::string_view token) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (error != std::errc() || end != token.data() + token.size() || token.empty())
        return std::nullopt;
    return value;
}

} // namespace

std::optional<CpuTicks> ParseStat(std::string_view text) {
    const std::size_t close = text.rfind(')');
    if (close == std::string_view::npos)
        return std::nullopt;
    text.remove_prefix(close + 1);
    // Field 3 (state) is the first token after the name; utime is field 14.
    for (int field = 3; field < 14; ++field)
        if (NextToken(text).empty())
            return std::nullopt;
    const auto user = ToNumber(NextToken(text));
    const auto system = ToNumber(NextToken(text));
    if (!user || !system)
        return std::nullopt;
    return CpuTicks{*user, *system};
}

std::optional<std::uint64_t> ParseVmRssKb(std::string_view text) {
    constexpr std::string_view kKey = "VmRSS:";
    std::size_t at = text.find(kKey);
    if (at == std::string_view::npos || (at > 0 && text[at - 1] != '\n'))
        return std::nullopt;
    text.remove_prefix(at + kKey.size());
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    const std::size_t end = text.find_first_not_of("0123456789");
    return ToNumber(text.substr(0, end));
}

std::optional<CpuTicks> ReadCpuTicks(pid_t pid) {
    const auto text = Slurp("/proc/" + std::to_string(pid) + "/stat");
    return text ? ParseStat(*text) : std::nullopt;
}

std::optional<std::uint64_t> ReadVmRssKb(pid_t pid) {
    const auto text = Slurp("/proc/" + std::to_string(pid) + "/status");
    return text ? ParseVmRssKb(*text) : std::nullopt;
}

std::optional<std::uint64_t> ReadFdCount(pid_t pid) {
    DIR* dir = ::opendir(("/proc/" + std::to_string(pid) + "/fd").c_str());
    if (!dir)
        return std::nullopt;
    std::uint64_t count = 0;
    while (const dirent* entry = ::readdir(dir))
        count += entry->d_name[0] != '.';
    ::closedir(dir);
    return count;
}

std::uint64_t TicksToNs(const CpuTicks& ticks) {
    const long perSecond = sysconf(_SC_CLK_TCK);
    const std::uint64_t hz = perSecond > 0 ? static_cast<std::uint64_t>(perSecond) : 100;
    return (ticks.user + ticks.system) * (1'000'000'000ull / hz);
}

} // namespace loadgen
