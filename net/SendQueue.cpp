// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/SendQueue.h"

namespace net {

namespace {
// Room an emptied queue may keep for the next few small messages.
constexpr std::size_t kKeptCapacity = 4096;
} // namespace

void SendQueue::append(const char* data, std::size_t size) {
    if (head_ > 0 && head_ >= bytes_.size() - head_) {
        bytes_.erase(0, head_);
        head_ = 0;
    }
    bytes_.append(data, size);
}

void SendQueue::consume(std::size_t size) {
    head_ += size < this->size() ? size : this->size();
    if (head_ == bytes_.size())
        clear();
}

void SendQueue::clear() {
    if (bytes_.capacity() > kKeptCapacity)
        std::string().swap(bytes_);
    else
        bytes_.clear();
    head_ = 0;
}

} // namespace net
