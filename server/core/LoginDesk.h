// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The login desk: connections that have not logged in yet, their deadlines and
// how many wait per address, the nicknames taken from "SACK" until release, the
// logged-in users per address, and how many messages a waiting connection sent
// that were ignored. It decides; the core carries the decisions out.
#include "server/core/SlotRef.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace server {

// The key under which per-address limits count a peer.
std::string AddressKey(std::string_view ip);

class LoginDesk {
public:
    // ---- waiting connections
    // The connection waits from now on; `key` is its AddressKey.
    void Enter(SlotRef ref, const std::string& key, std::int64_t nowMs);
    // It logged in or went; returns how many of its messages were ignored.
    int Leave(int slot);
    bool IsWaiting(int slot) const { return waiting_.count(slot) != 0; }
    // The oldest connection waiting from `key` when `limit` of them wait already.
    std::optional<SlotRef> OldestAtLimit(const std::string& key, int limit) const;
    int WaitingFrom(const std::string& key) const;
    // Those that waited longer than timeoutMs, oldest first; they stay until Leave.
    std::vector<SlotRef> Overdue(std::int64_t nowMs, std::int64_t timeoutMs);
    // A message of a waiting connection was ignored: counted, never logged here.
    void CountIgnored(int slot);

    // ---- nicknames, reserved from "SACK" until release
    // False when another slot holds it.
    bool Reserve(const std::string& nickname, int slot);
    void Unreserve(const std::string& nickname, int slot);
    bool HeldByOther(const std::string& nickname, int slot) const;

    // ---- accepted users per address (from "SACK" until release)
    void AddUser(const std::string& key) { ++users_[key]; }
    void RemoveUser(const std::string& key);
    int UsersFrom(const std::string& key) const;

    void Clear();

private:
    struct Waiting {
        std::uint32_t generation;
        std::string key;
        int ignored = 0;
    };
    std::unordered_map<int, Waiting> waiting_;                   // by slot
    std::unordered_map<std::string, std::deque<SlotRef>> byKey_; // in order of arrival
    std::deque<std::pair<std::int64_t, SlotRef>> deadlines_;     // arrival time, in order
    std::unordered_map<std::string, int> nicknames_;             // nickname -> slot
    std::unordered_map<std::string, int> users_;                 // key -> accepted users
};

} // namespace server
