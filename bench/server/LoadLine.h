// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The chat lines the load generator sends, and how a receiver reads them back.
//
//   line := "b" sender "> m " seq " " stamp-ns filler? CR LF     (before escaping)
//
// On the wire the line is escaped like any public line, so CR LF travels as the
// four characters backslash r backslash n. Numbers are plain decimal.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace loadgen {

struct LineStamp {
    std::uint32_t sender = 0; // index of the sending load client
    std::uint64_t seq = 0;    // 0-based per sender
    std::uint64_t sentNs = 0; // CLOCK_MONOTONIC when the line left (or was due, when paced)
};

// The nickname load client `index` logs in with.
std::string Nickname(std::uint32_t index);

// Appends one framed chat line (escaped text + NUL) to out.
void AppendChatLine(std::string& out, const LineStamp& stamp, std::string_view filler);

// Reads a relayed line (NUL removed, still escaped); nullopt when it is not one
// of ours (a server notice, a line of some other client).
std::optional<LineStamp> ParseChatLine(std::string_view line);

} // namespace loadgen
