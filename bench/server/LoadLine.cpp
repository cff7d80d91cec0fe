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

// Reads decimal digits at the front of text up to the stop character.
std::optional<std::uint64_t> TakeNumber(std::string_view& text, char stop) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end == text.data() || end == text.data() + text.size() || *end != stop)
        return std::nullopt;
    text.remove_prefix(static_cast<std::size_t>(end - text.data()) + 1);
    return value;
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
    if (line.empty() || line.front() != 'b')
        return std::nullopt;
    line.remove_prefix(1);
    LineStamp stamp;
    const auto sender = TakeNumber(line, '>');
    if (!sender || *sender > UINT32_MAX || line.substr(0, 3) != " m ")
        return std::nullopt;
    line.remove_prefix(3);
    const auto seq = TakeNumber(line, ' ');
    if (!seq)
        return std::nullopt;
    std::uint64_t sent = 0;
    const auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), sent);
    if (error != std::errc() || end == line.data())
        return std::nullopt;
    const std::string_view tail(end, static_cast<std::size_t>(line.data() + line.size() - end));
    if (tail.size() < 4 || tail.substr(tail.size() - 4) != "\\r\\n" ||
        (tail.size() > 4 && tail.front() != ' '))
        return std::nullopt;
    stamp.sender = static_cast<std::uint32_t>(*sender);
    stamp.seq = *seq;
    stamp.sentNs = sent;
    return stamp;
}

} // namespace loadgen
