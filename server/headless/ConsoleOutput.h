// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Buffered standard output for the console server: log lines and replies are
// collected and written once per pass of the event loop, so a busy server does
// not pay a system call per line. Wire text is Latin-1; the console gets UTF-8.
#include <string>
#include <string_view>

namespace server {

class ConsoleOutput {
public:
    explicit ConsoleOutput(int fd = 1) : fd_(fd) {}
    ~ConsoleOutput() { Flush(); }

    // Adds "\n". A buffer that grows past kFlushAt is written at once, so a pass
    // that logs a great deal (thousands of logins) does not hold it all.
    void AppendLatin1Line(std::string_view line);
    static constexpr std::size_t kFlushAt = 256 * 1024;
    void AppendUtf8(std::string_view text);
    // Writes what is buffered. A closed reader (EPIPE) makes further output vanish.
    void Flush();
    std::size_t Pending() const { return buffer_.size(); }

private:
    int fd_;
    bool broken_ = false;
    std::string buffer_;
};

// Writes at once (for errors).
void WriteNow(int fd, std::string_view text);

} // namespace server
