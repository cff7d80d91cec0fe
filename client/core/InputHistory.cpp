// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/core/InputHistory.h"

namespace client {

void InputHistory::record(const QString& line) {
    if (!line.isEmpty() && (lines_.isEmpty() || lines_.constLast() != line)) {
        lines_.append(line);
        if (lines_.size() > kLimit)
            lines_.removeFirst();
    }
    position_ = lines_.size();
    draft_.clear();
}

std::optional<QString> InputHistory::older(const QString& current) {
    if (position_ == 0)
        return std::nullopt;
    if (position_ == lines_.size())
        draft_ = current;
    return lines_.at(--position_);
}

std::optional<QString> InputHistory::newer() {
    if (position_ >= lines_.size())
        return std::nullopt;
    ++position_;
    return position_ == lines_.size() ? draft_ : lines_.at(position_);
}

} // namespace client
