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

// Accumulates arrivals and hands out complete messages in order.
class MessageBuffer {
public:
    enum class Status { Ok, Stopped, Overflow };

    explicit MessageBuffer(std::size_t maxPending = kMaxPendingBytes) : maxPending_(maxPending) {}

    // Calls onMessage(std::string_view) for every complete message; when it
    // returns false the remaining bytes, complete or not, are dropped and Stopped
    // is returned. Overflow: a message, complete or still unterminated, is longer
    // than the cap; it and everything after it are dropped. The messages before
    // it have been handed out.
    template <typename F> Status Feed(std::string_view data, F&& onMessage) {
        std::string_view work = data;
        if (!pending_.empty()) {
            pending_.append(data);
            work = pending_;
        }
        std::size_t pos = 0;
        while (pos < work.size()) {
            std::size_t nul = work.find(kTerminator, pos);
            if (nul == std::string_view::npos)
                break;
            if (nul - pos > maxPending_) {
                pending_.clear();
                return Status::Overflow;
            }
            std::string_view message = work.substr(pos, nul - pos);
            pos = nul + 1;
            if (!onMessage(message)) {
                pending_.clear();
                return Status::Stopped;
            }
        }
        std::string rest(work.substr(pos));
        pending_.swap(rest);
        if (pending_.size() > maxPending_) {
            pending_.clear();
            return Status::Overflow;
        }
        return Status::Ok;
    }

    std::size_t pendingSize() const { return pending_.size(); }
    void clear() { pending_.clear(); }

private:
    std::string pending_;
    std::size_t maxPending_;
};

} // namespace ZindleWire
