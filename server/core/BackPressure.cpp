// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/core/BackPressure.h"

#include <algorithm>

namespace server {

// ---------------------------------------------------------------- allowance

void BackPressure::Fill(int slot, std::int64_t nowMs) {
    allowance_[slot] = Allowance{double(limits_.floodBurst), double(limits_.floodByteBurst), nowMs};
}

void BackPressure::Refill(Allowance& a, std::int64_t nowMs) const {
    const double seconds = double(std::max<std::int64_t>(0, nowMs - a.refilledMs)) / 1000.0;
    a.lines = std::min(double(limits_.floodBurst), a.lines + seconds * limits_.floodRate);
    a.bytes = std::min(double(limits_.floodByteBurst), a.bytes + seconds * limits_.floodBytesPerSecond);
    a.refilledMs = nowMs;
}

// A message longer than the byte burst fits once the allowance is full.
bool BackPressure::Fits(const Allowance& a, std::size_t bytes) const {
    const bool linesOk = a.lines >= 1;
    const bool bytesOk =
        limits_.floodBytesPerSecond <= 0 || a.bytes >= double(std::min(bytes, limits_.floodByteBurst));
    return linesOk && bytesOk;
}

bool BackPressure::Take(int slot, std::size_t bytes, std::int64_t nowMs) {
    if (limits_.floodRate <= 0)
        return true;
    Allowance& a = allowance_[slot];
    Refill(a, nowMs);
    if (!Fits(a, bytes))
        return false;
    a.lines -= 1;
    if (limits_.floodBytesPerSecond > 0)
        a.bytes -= double(std::min(bytes, limits_.floodByteBurst));
    return true;
}

void BackPressure::Wait(SlotRef ref, std::size_t bytes) {
    waiting_[ref.slot] = {ref, bytes};
}

std::vector<SlotRef> BackPressure::Refilled(std::int64_t nowMs) {
    std::vector<SlotRef> ready;
    for (auto it = waiting_.begin(); it != waiting_.end();) {
        Allowance& a = allowance_[it->first];
        Refill(a, nowMs);
        if (limits_.floodRate <= 0 || Fits(a, it->second.second)) {
            ready.push_back(it->second.first);
            it = waiting_.erase(it);
        } else {
            ++it;
        }
    }
    std::sort(ready.begin(), ready.end(), [](SlotRef a, SlotRef b) { return a.slot < b.slot; });
    return ready;
}

void BackPressure::Forget(int slot) {
    allowance_.erase(slot);
    waiting_.erase(slot);
    unsentAtPause_.erase(slot);
}

// ---------------------------------------------------------------- budget

bool BackPressure::ShouldPause(std::size_t total) const {
    return !paused_ && limits_.sendBudgetBytes > 0 && total > limits_.sendBudgetBytes;
}

void BackPressure::StartPause(std::int64_t nowMs, const std::vector<Holder>& holders) {
    paused_ = true;
    pausedSinceMs_ = nowMs;
    unsentAtPause_.clear();
    for (const Holder& h : holders)
        unsentAtPause_[h.slot] = h.unsent;
}

std::vector<int> BackPressure::ToDrop(std::int64_t nowMs, const std::vector<Holder>& holders) const {
    const std::int64_t elapsed = nowMs - pausedSinceMs_;
    if (!paused_ || elapsed < kMeasureMs)
        return {};
    const double left = double(std::max<std::int64_t>(0, pausedSinceMs_ + kMaxFreezeMs - nowMs));
    // What each would still hold when the time is up, at the rate it drained so far.
    struct Outlook {
        std::size_t unsent;
        double remains;
        int slot;
    };
    std::vector<Outlook> outlook;
    double remains = 0;
    for (const Holder& h : holders) {
        const auto it = unsentAtPause_.find(h.slot);
        const std::size_t before = it == unsentAtPause_.end() ? 0 : it->second;
        const double rate = double(before > h.unsent ? before - h.unsent : 0) / double(elapsed);
        const double r = std::max(0.0, double(h.unsent) - rate * left);
        remains += r;
        if (r > 0)
            outlook.push_back({h.unsent, r, h.slot});
    }
    const double target = double(limits_.sendBudgetBytes / 2);
    std::vector<int> drop;
    if (remains <= target)
        return drop;
    std::sort(outlook.begin(), outlook.end(),
              [](const Outlook& a, const Outlook& b) { return a.unsent > b.unsent; });
    for (const Outlook& o : outlook) {
        if (remains <= target)
            break;
        drop.push_back(o.slot);
        remains -= o.remains;
    }
    return drop;
}

bool BackPressure::ShouldResume(std::size_t total) const {
    return paused_ && (limits_.sendBudgetBytes == 0 || total <= limits_.sendBudgetBytes / 2);
}

void BackPressure::EndPause() {
    paused_ = false;
    unsentAtPause_.clear();
}

void BackPressure::Clear() {
    allowance_.clear();
    waiting_.clear();
    EndPause();
}

} // namespace server
