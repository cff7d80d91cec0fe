// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The ban list: addresses in the order they were banned (in memory only).
#include <string>
#include <string_view>
#include <vector>

namespace server {

class BanList {
public:
    // Whether a peer from ip is banned: the one check at the door and at "CACK".
    bool IsBanned(std::string_view ip) const;
    const std::vector<std::string>& Entries() const { return entries_; }
    void Add(std::string ip) { entries_.push_back(std::move(ip)); }
    bool RemoveAt(std::size_t index);
    int RemoveAddress(std::string_view ip); // how many went
    bool Clear();                           // false: it was empty

private:
    std::vector<std::string> entries_;
};

} // namespace server
