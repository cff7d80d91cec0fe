// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/server/LoadLine.h"

#include <charconv>

namespace loadgen {
namespace {

void AppendNumber(std::string& out, std::uint64_t value) {
    char digits[24];
    const auto [end, error] = std::to_chars(digits, digits + sizeof digits, value);
    (void)error;
    out.append(digits, end);
}

// Reads up to 20 decimal digits at p; false when there are none. This runs for
// every line every client receives, so it is written out by hand.
bool TakeDigits(const char*& p, const char* end, std::uint64_t& value) {
    const char* const first = p;
    value = 0;
    while (p < end && p - first < 20 && static_cast<unsigned char>(*p - '0') < 10)
        value = value * 10 + static_cast<std::uint64_t>(*p++ - '0');
    return p != first;
}

} // namespace

std::string Nickname(std::uint32_t index) {
    std::string nick = "b";
    AppendNumber(nick, index);
    return nick;
}

void AppendChatLine(std::string& out, const LineStamp& stamp, std::string_view filler) {
    out += 'b';
    AppendNumber(out, stamp.sender);
    out += "> m ";
    AppendNumber(out, stamp.seq);
    out += ' ';
    AppendNumber(out, stamp.sentNs);
    // The filler is ours and plain (letters and spaces), so escaping leaves it as is.
    if (!filler.empty()) {
        out += ' ';
        out.append(filler);
    }
    out += "\\r\\n";
    out += '\0';
}

std::optional<LineStamp> ParseChatLine(std::string_view line) {
    const char* p = line.data();
    const char* const end = p + line.size();
    std::uint64_t sender = 0, seq = 0, sent = 0;
    if (p == end || *p++ != 'b' || !TakeDigits(p, end, sender) || sender > UINT32_MAX)
        return std::nullopt;
    if (end - p < 4 || p[0] != '>' || p[1] != ' ' || p[2] != 'm' || p[3] != ' ')
        return std::nullopt;
    p += 4;
    if (!TakeDigits(p, end, seq) || p == end || *p++ != ' ' || !TakeDigits(p, end, sent))
        return std::nullopt;
    // What follows is the filler (after a space) and the escaped CR LF.
    if (end - p < 4 || std::string_view(end - 4, 4) != "\\r\\n" || (end - p > 4 && *p != ' '))
        return std::nullopt;
    return LineStamp{static_cast<std::uint32_t>(sender), seq, sent};
}

} // namespace loadgen
