// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Standard output of the console server, never waiting for its reader: log lines
// and replies are collected and written once per pass of the event loop, as much
// as the reader takes. What it does not take waits in a bounded buffer; when the
// reader falls that far behind, whole lines are dropped and counted, so a paused
// pager or a stuck log collector never stops the room. Wire text is Latin-1; the
// console gets UTF-8.
#include <QString>
#include <string>
#include <string_view>

namespace server {

class ConsoleOutput {
public:
    // A buffer that grows past kFlushAt is written at once, so a pass that logs a
    // great deal (thousands of logins) does not hold it all.
    static constexpr std::size_t kFlushAt = 256 * 1024;
    // At most this much waits for a slow reader.
    static constexpr std::size_t kMaxWaiting = 4 * 1024 * 1024;

    explicit ConsoleOutput(int fd = 1, std::size_t maxWaiting = kMaxWaiting) : fd_(fd), max_(maxWaiting) {}
    ~ConsoleOutput() { Flush(); }

    // Adds "\n".
    void AppendLatin1Line(std::string_view line);
    void AppendUtf8(std::string_view text);
    // Writes what the reader takes now. Never waits when fd is non-blocking. A
    // closed reader (EPIPE) makes further output vanish.
    void Flush();
    std::size_t Pending() const { return buffer_.size() - sent_; }
    // Lines dropped since the last call, reported once the reader has caught up
    // (0 until then).
    std::size_t TakeDroppedOnceCaughtUp();

private:
    bool Room(std::size_t bytes);

    int fd_;
    std::size_t max_;
    bool broken_ = false;
    std::string buffer_;
    std::size_t sent_ = 0; // bytes of buffer_ already written
    std::size_t dropped_ = 0;
};

// Writes at once, waiting if needed (for errors and the help text).
void WriteNow(int fd, std::string_view text);

// Control characters (but TAB and line feed) as visible "\xHH", for text shown on
// a terminal that came from the network.
QString EscapeForTerminal(const QString& text);

} // namespace server
