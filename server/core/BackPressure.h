// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Back-pressure: what each sender may still send (lines and bytes, refilled at
// the flood rate), which slots wait for their allowance, and the send budget
// with its pause. It decides; the core stops and resumes reading and drops.
//
// The budget: over it, the server stops reading from everyone so senders wait
// in TCP, until the backlog is under half the budget. The room may not stand
// still for longer than kMaxFreezeMs: from kMeasureMs into the pause on, the
// holders whose backlog, at the rate it drained so far, would still be there
// when that time is up go, the largest first, until what stays fits.
#include "server/core/ServerLimits.h"
#include "server/core/SlotRef.h"

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace server {

class BackPressure {
public:
    static constexpr std::int64_t kMeasureMs = 2000;
    static constexpr std::int64_t kMaxFreezeMs = 8000;

    explicit BackPressure(const ServerLimits& limits) : limits_(limits) {}

    // ---- flood allowance
    // A new connection in the slot starts with a full allowance.
    void Fill(int slot, std::int64_t nowMs);
    // Takes one message of `bytes` from the allowance; false (nothing taken)
    // when it does not fit now.
    bool Take(int slot, std::size_t bytes, std::int64_t nowMs);
    // The slot waits until its allowance takes a message of `bytes` again.
    void Wait(SlotRef ref, std::size_t bytes);
    bool Waiting(int slot) const { return waiting_.count(slot) != 0; }
    // Those whose allowance has refilled; they wait no more.
    std::vector<SlotRef> Refilled(std::int64_t nowMs);
    void Forget(int slot);

    // ---- send budget
    struct Holder {
        int slot;
        std::size_t unsent;
    };
    bool Paused() const { return paused_; }
    // Over budget with reading on: the pause starts.
    bool ShouldPause(std::size_t total) const;
    void StartPause(std::int64_t nowMs, const std::vector<Holder>& holders);
    // The holders to drop now, largest first.
    std::vector<int> ToDrop(std::int64_t nowMs, const std::vector<Holder>& holders) const;
    // Under half the budget (or no budget): the pause ends.
    bool ShouldResume(std::size_t total) const;
    void EndPause();
    void Clear();

private:
    struct Allowance {
        double lines = 0;
        double bytes = 0;
        std::int64_t refilledMs = 0;
    };
    void Refill(Allowance& a, std::int64_t nowMs) const;
    bool Fits(const Allowance& a, std::size_t bytes) const;

    const ServerLimits& limits_;
    std::unordered_map<int, Allowance> allowance_;                     // by slot
    std::unordered_map<int, std::pair<SlotRef, std::size_t>> waiting_; // slot -> (ref, next message)
    bool paused_ = false;
    std::int64_t pausedSinceMs_ = 0;
    std::unordered_map<int, std::size_t> unsentAtPause_; // by slot
};

} // namespace server
