// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Standard output of the console server, never waiting for its reader: log lines
// and replies are collected and handed, once per pass of the event loop, to a
// small writer thread that writes them in the order given. What the reader does
// not take waits in a bounded queue; when the reader falls that far behind, whole
// lines are dropped and counted, so a paused pager or a stuck log collector never
// stops the room. The descriptor is written as it is: its flags are shared with
// whoever else writes there (a terminal, a pipe) and are never changed. Wire text
// is Latin-1; the console gets UTF-8.
#include <QString>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace server {

class ConsoleOutput {
public:
    // A buffer that grows past kFlushAt is handed over at once, so a pass that
    // logs a great deal (thousands of logins) does not hold it all.
    static constexpr std::size_t kFlushAt = 256 * 1024;
    // At most this much waits for a slow reader.
    static constexpr std::size_t kMaxWaiting = 4 * 1024 * 1024;
    // How long the end of the program waits for a reader to take the rest.
    static constexpr int kLastWordsMs = 500;

    explicit ConsoleOutput(int fd = 1, std::size_t maxWaiting = kMaxWaiting);
    // Waits kLastWordsMs at most for the rest to be written, then leaves the
    // writer behind (it ends with the process).
    ~ConsoleOutput();
    ConsoleOutput(const ConsoleOutput&) = delete;
    ConsoleOutput& operator=(const ConsoleOutput&) = delete;

    // Adds "\n".
    void AppendLatin1Line(std::string_view line);
    void AppendUtf8(std::string_view text);
    // Hands what was collected to the writer; never waits. Once the reader has
    // gone (EPIPE), further output vanishes.
    void Flush();
    // Bytes given but not written yet.
    std::size_t Pending() const;
    // Lines dropped since the last call, reported once the reader has caught up
    // (0 until then).
    std::size_t TakeDroppedOnceCaughtUp();
    // Lines dropped and not reported yet.
    std::size_t Dropped() const;

private:
    bool Room(std::size_t bytes);

    struct Shared; // the queue, shared with the writer thread
    std::shared_ptr<Shared> shared_;
    std::string buffer_; // collected in this pass
    std::size_t max_;
};

// Writes at once, waiting if needed (for errors and the help text before the
// server runs).
void WriteNow(int fd, std::string_view text);

// Control characters (but TAB and line feed) as visible "\xHH", for text shown on
// a terminal that came from the network.
QString EscapeForTerminal(const QString& text);

} // namespace server
