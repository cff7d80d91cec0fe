// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// When each line of a burst appeared in the transcript, and what that says:
// how long after the last byte arrived the last line showed, and whether a line
// late in the burst costs more than an early one.
#include <chrono>
#include <optional>
#include <string_view>
#include <vector>

namespace burst {

struct BurstFigures {
    int shown = 0;                           // distinct burst lines seen
    int outOfOrder = 0;                      // lines that came other than right after the previous one
    double lastLineAfterLastByteSeconds = 0; // may be negative: shown before the peer's send returned
    double firstWindowUsPerLine = 0;
    double lastWindowUsPerLine = 0;
    double ratio = 0;        // last window over first window
    double totalSeconds = 0; // first line shown -> last line shown
};

class BurstTimeline {
public:
    using Clock = std::chrono::steady_clock;

    explicit BurstTimeline(int lines);

    // Line number n (1-based) was appended at t.
    void Shown(int n, Clock::time_point t);
    bool complete() const { return shown_ == static_cast<int>(times_.size()); }
    int shown() const { return shown_; }

    // window: lines per measured stretch (10,000 for the standard burst); it must
    // fit twice in the burst.
    std::optional<BurstFigures> Figures(int window, Clock::time_point lastByte) const;

    // The line number of a burst line as the transcript receives it, or nullopt.
    static std::optional<int> LineNumber(std::string_view text, std::string_view nickname);

private:
    std::vector<Clock::time_point> times_;
    std::vector<bool> seen_;
    int shown_ = 0, outOfOrder_ = 0, last_ = 0;
};

} // namespace burst
