// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a connection sent and the server has not handled yet. Messages are taken
// one at a time, so a limit can stop in the middle of an arrival and the rest
// waits here, complete or not, until the slot may go on. Bytes are appended in
// place and only new bytes are searched for a terminator.
#include "common/ZindleFraming.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace server {

class SlotInput {
public:
    enum class Next { Message, Empty, Overflow };

    void Append(std::string_view data) { bytes_.append(data); }
    // The next complete message in *message (valid until the next call of any
    // other member); Overflow: a message, ended or not, is longer than the cap.
    // Peek does not consume it: Pop does.
    Next Peek(std::string_view* message);
    void Pop() { front_ = messageEnd_; }
    // Bytes kept, handled or not yet.
    std::size_t Size() const { return bytes_.size() - front_; }
    bool Empty() const { return Size() == 0; }
    void Clear() {
        std::string().swap(bytes_);
        front_ = scanned_ = messageEnd_ = 0;
    }

private:
    void Compact();

    std::string bytes_;
    std::size_t front_ = 0;      // first byte not handled
    std::size_t scanned_ = 0;    // bytes already searched for a terminator
    std::size_t messageEnd_ = 0; // where Pop moves front_ to
};

} // namespace server
