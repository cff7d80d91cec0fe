// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Bytes of one connection waiting for the system to take them, in order. The
// system takes them from the front, often only in part: the front is consumed by
// moving an offset, and the space before it is reclaimed only once it outweighs
// what is left, so every byte is moved at most once more.
#include <cstddef>
#include <string>

namespace net {

class SendQueue {
public:
    bool empty() const { return head_ == bytes_.size(); }
    std::size_t size() const { return bytes_.size() - head_; }
    const char* data() const { return bytes_.data() + head_; }

    void append(const char* data, std::size_t size);
    // The system took the first `size` bytes.
    void consume(std::size_t size);
    // Forgets everything; an emptied queue keeps little memory, since thousands of
    // mostly idle connections each have one.
    void clear();

private:
    std::string bytes_;
    std::size_t head_ = 0;
};

} // namespace net
