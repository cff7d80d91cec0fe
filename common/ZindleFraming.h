// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Framing of the chat connection.
//
//   stream  := message*
//   message := ( 0xFF 0xFF CODE payload | chatline ) NUL
//   CODE    := four upper-case letters
//
// SplitMessages is pure: it cuts a buffer at every NUL and hands back the
// unterminated rest. What an unterminated rest means is the owner's policy;
// MessageBuffer keeps it for the next arrival, and caps every message, ended or
// not, at the same length however the stream was cut.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ZindleWire {

inline constexpr char kTerminator = '\0';
inline constexpr std::string_view kCommandPrefix{"\xFF\xFF", 2};

// The longest message (without its NUL) a connection may send, and so the
// longest unterminated tail it may keep, before it counts as a protocol error.
inline constexpr std::size_t kMaxPendingBytes = 64 * 1024;

struct SplitResult {
    std::vector<std::string_view> messages; // views into the buffer, NUL removed
    std::string_view rest;                  // bytes after the last NUL
};

SplitResult SplitMessages(std::string_view buffer);

// Frames one message: 0xFF 0xFF (for a command) + text + NUL, ready for one write.
std::string Frame(std::string_view text, bool specialPacket);
void AppendFrame(std::string& out, std::string_view text, bool specialPacket);

// Accumulates arrivals and hands out complete messages in order. Linear: bytes
// are appended in place, only new bytes are searched, messages are consumed from
// the front. A message longer than the cap is refused however the network split
// it.
class MessageBuffer {
public:
    enum class Status { Ok, Stopped, Overflow };

    explicit MessageBuffer(std::size_t maxPending = kMaxPendingBytes) : maxPending_(maxPending) {}

    // Calls onMessage(std::string_view) for every complete message; when it
    // returns false the remaining bytes, complete or not, are dropped and Stopped
    // is returned. Overflow: a message (or the unterminated tail) is longer than
    // the cap; everything kept is dropped.
    template <typename F> Status Feed(std::string_view data, F&& onMessage) {
        if (pending_.empty()) {
            // Nothing kept: work straight from the caller's bytes, keep only the tail.
            const Status status = Drain(data, 0, onMessage);
            if (status == Status::Ok)
                pending_.assign(data.substr(front_));
            front_ = 0;
            scanned_ = pending_.size();
            return Finish(status);
        }
        pending_.append(data);
        return Finish(Drain(pending_, scanned_, onMessage));
    }

    std::size_t pendingSize() const { return pending_.size() - front_; }
    // Not from inside onMessage: the bytes being handed out live here.
    void clear() {
        std::string().swap(pending_);
        front_ = scanned_ = 0;
    }

private:
    template <typename F> Status Drain(std::string_view work, std::size_t scanFrom, F& onMessage) {
        for (;;) {
            const std::size_t nul = work.find(kTerminator, scanFrom);
            if (nul == std::string_view::npos)
                break;
            const std::string_view message = work.substr(front_, nul - front_);
            front_ = scanFrom = nul + 1;
            if (message.size() > maxPending_)
                return Status::Overflow;
            if (!onMessage(message))
                return Status::Stopped;
        }
        scanned_ = work.size();
        return work.size() - front_ > maxPending_ ? Status::Overflow : Status::Ok;
    }

    Status Finish(Status status) {
        if (status != Status::Ok) {
            clear();
            return status;
        }
        if (front_ == pending_.size()) {
            clear();
        } else if (front_ > 0) {
            pending_.erase(0, front_);
            scanned_ -= front_;
            front_ = 0;
        }
        return status;
    }

    std::string pending_;
    std::size_t front_ = 0;   // first byte not handed out yet
    std::size_t scanned_ = 0; // bytes already searched for a terminator
    std::size_t maxPending_;
};

} // namespace ZindleWire
