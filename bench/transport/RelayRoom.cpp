// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/transport/RelayRoom.h"

#include <algorithm>

namespace transportbench {

void RelayRoom::closed(int slot) {
    --open_;
    partial_.erase(slot);
    if (slot == a_)
        a_ = -1;
    if (slot == b_)
        b_ = -1;
    std::erase(listeners_, slot);
}

void RelayRoom::arrived(int slot, const char* data, std::size_t size) {
    std::string& pending = partial_[slot];
    pending.append(data, size);
    std::size_t start = 0;
    for (std::size_t end; (end = pending.find('\n', start)) != std::string::npos; start = end + 1)
        line(slot, std::string_view(pending).substr(start, end + 1 - start));
    pending.erase(0, start);
}

void RelayRoom::line(int slot, std::string_view withNewline) {
    const std::string_view body = withNewline.substr(0, withNewline.size() - 1);
    if (body == "A" || body == "B") {
        (body == "A" ? a_ : b_) = slot;
        send_(slot, "ok\n", 3);
    } else if (body == "L") {
        listeners_.push_back(slot);
    } else if (body == "S") {
        const std::string count = std::to_string(open_) + ' ' + std::to_string(listeners_.size()) + '\n';
        send_(slot, count.data(), count.size());
    } else if (const int partner = slot == a_ ? b_ : slot == b_ ? a_ : -1; partner >= 0) {
        if (slot == a_)
            for (const int listener : listeners_)
                send_(listener, withNewline.data(), withNewline.size());
        send_(partner, withNewline.data(), withNewline.size());
    }
}

} // namespace transportbench
