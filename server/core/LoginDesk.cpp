// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/core/LoginDesk.h"

#include "net/PeerAddress.h"

#include <algorithm>

namespace server {

std::string AddressKey(std::string_view ip) {
    return net::PerAddressKey(ip); // an IPv6 peer counts by its /64
}

void LoginDesk::Enter(SlotRef ref, const std::string& key, std::int64_t nowMs) {
    waiting_[ref.slot] = Waiting{ref.generation, key};
    byKey_[key].push_back(ref);
    deadlines_.emplace_back(nowMs, ref);
}

int LoginDesk::Leave(int slot) {
    const auto it = waiting_.find(slot);
    if (it == waiting_.end())
        return 0;
    const SlotRef ref{slot, it->second.generation};
    const int ignored = it->second.ignored;
    const auto queue = byKey_.find(it->second.key);
    if (queue != byKey_.end()) {
        std::erase(queue->second, ref);
        if (queue->second.empty())
            byKey_.erase(queue);
    }
    waiting_.erase(it);
    // Its deadline entry goes when it comes up: the map says it waits no more.
    return ignored;
}

std::optional<SlotRef> LoginDesk::OldestAtLimit(const std::string& key, int limit) const {
    const auto it = byKey_.find(key);
    if (limit <= 0 || it == byKey_.end() || int(it->second.size()) < limit)
        return std::nullopt;
    return it->second.front();
}

int LoginDesk::WaitingFrom(const std::string& key) const {
    const auto it = byKey_.find(key);
    return it == byKey_.end() ? 0 : int(it->second.size());
}

std::vector<SlotRef> LoginDesk::Overdue(std::int64_t nowMs, std::int64_t timeoutMs) {
    std::vector<SlotRef> overdue;
    if (timeoutMs <= 0) {
        deadlines_.clear();
        return overdue;
    }
    for (const auto& [since, ref] : deadlines_) {
        const auto it = waiting_.find(ref.slot);
        const bool waits = it != waiting_.end() && it->second.generation == ref.generation;
        if (waits && since > nowMs - timeoutMs)
            break; // arrived in order, so the rest is younger
        if (waits)
            overdue.push_back(ref);
    }
    // Drop the front that is handled now: overdue ones leave when closed, others left.
    while (!deadlines_.empty()) {
        const SlotRef ref = deadlines_.front().second;
        const auto it = waiting_.find(ref.slot);
        const bool waits = it != waiting_.end() && it->second.generation == ref.generation;
        if (waits && std::find(overdue.begin(), overdue.end(), ref) == overdue.end())
            break;
        deadlines_.pop_front();
    }
    return overdue;
}

void LoginDesk::CountIgnored(int slot) {
    const auto it = waiting_.find(slot);
    if (it != waiting_.end())
        ++it->second.ignored;
}

bool LoginDesk::Reserve(const std::string& nickname, int slot) {
    return nicknames_.try_emplace(nickname, slot).first->second == slot;
}

void LoginDesk::Unreserve(const std::string& nickname, int slot) {
    const auto it = nicknames_.find(nickname);
    if (it != nicknames_.end() && it->second == slot)
        nicknames_.erase(it);
}

bool LoginDesk::HeldByOther(const std::string& nickname, int slot) const {
    const auto it = nicknames_.find(nickname);
    return it != nicknames_.end() && it->second != slot;
}

void LoginDesk::RemoveUser(const std::string& key) {
    const auto it = users_.find(key);
    if (it != users_.end() && --it->second <= 0)
        users_.erase(it);
}

int LoginDesk::UsersFrom(const std::string& key) const {
    const auto it = users_.find(key);
    return it == users_.end() ? 0 : it->second;
}

void LoginDesk::Clear() {
    waiting_.clear();
    byKey_.clear();
    deadlines_.clear();
    nicknames_.clear();
    users_.clear();
}

} // namespace server
