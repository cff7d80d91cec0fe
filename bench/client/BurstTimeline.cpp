// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/client/BurstTimeline.h"

#include <charconv>

namespace burst {

BurstTimeline::BurstTimeline(int lines)
    : times_(static_cast<std::size_t>(lines)), seen_(times_.size(), false) {}

void BurstTimeline::Shown(int n, Clock::time_point t) {
    if (n < 1 || n > static_cast<int>(times_.size()))
        return;
    if (n != last_ + 1)
        ++outOfOrder_;
    last_ = n;
    const auto i = static_cast<std::size_t>(n - 1);
    if (seen_[i])
        return;
    seen_[i] = true;
    times_[i] = t;
    ++shown_;
}

std::optional<BurstFigures> BurstTimeline::Figures(int window, Clock::time_point lastByte) const {
    const int n = static_cast<int>(times_.size());
    if (!complete() || window < 1 || 2 * window >= n)
        return std::nullopt;
    using Us = std::chrono::duration<double, std::micro>;
    using S = std::chrono::duration<double>;
    const auto at = [&](int i) { return times_[static_cast<std::size_t>(i)]; };
    BurstFigures f;
    f.shown = shown_;
    f.outOfOrder = outOfOrder_;
    f.lastLineAfterLastByteSeconds = S(at(n - 1) - lastByte).count();
    f.firstWindowUsPerLine = Us(at(window) - at(0)).count() / window;
    f.lastWindowUsPerLine = Us(at(n - 1) - at(n - 1 - window)).count() / window;
    f.ratio = f.firstWindowUsPerLine > 0 ? f.lastWindowUsPerLine / f.firstWindowUsPerLine : 0;
    f.totalSeconds = S(at(n - 1) - at(0)).count();
    return f;
}

std::optional<int> BurstTimeline::LineNumber(std::string_view text, std::string_view nickname) {
    if (text.substr(0, nickname.size()) != nickname)
        return std::nullopt;
    text.remove_prefix(nickname.size());
    constexpr std::string_view kMark = "> regel ";
    if (text.substr(0, kMark.size()) != kMark)
        return std::nullopt;
    text.remove_prefix(kMark.size());
    int n = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (error != std::errc() || end == text.data())
        return std::nullopt;
    return n;
}

} // namespace burst
