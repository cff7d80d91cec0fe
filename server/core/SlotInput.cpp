// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/core/SlotInput.h"

#include <algorithm>

namespace server {

SlotInput::Next SlotInput::Peek(std::string_view* message) {
    if (messageEnd_ > front_) { // peeked before and not taken: the same one again
        *message = std::string_view(bytes_).substr(front_, messageEnd_ - 1 - front_);
        return Next::Message;
    }
    const std::size_t from = std::max(front_, scanned_);
    const std::size_t nul = bytes_.find(ZindleWire::kTerminator, from);
    if (nul == std::string::npos) {
        scanned_ = bytes_.size();
        Compact();
        return Size() > ZindleWire::kMaxPendingBytes ? Next::Overflow : Next::Empty;
    }
    scanned_ = nul + 1;
    if (nul - front_ > ZindleWire::kMaxPendingBytes)
        return Next::Overflow;
    *message = std::string_view(bytes_).substr(front_, nul - front_);
    messageEnd_ = nul + 1;
    return Next::Message;
}

// Handled bytes go once nothing points into them: everything when all is
// handled, else when they are the larger part.
void SlotInput::Compact() {
    if (front_ == bytes_.size()) {
        Clear();
        return;
    }
    if (front_ > 0 && front_ * 2 >= bytes_.size()) {
        bytes_.erase(0, front_);
        scanned_ -= front_;
        front_ = messageEnd_ = 0;
    }
}

} // namespace server
