// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/core/BanList.h"

#include "net/PeerAddress.h"

#include <algorithm>

namespace server {

bool BanList::IsBanned(std::string_view ip) const {
    return net::BanListCovers(entries_, ip);
}

bool BanList::RemoveAt(std::size_t index) {
    if (index >= entries_.size())
        return false;
    entries_.erase(entries_.begin() + std::ptrdiff_t(index));
    return true;
}

int BanList::RemoveAddress(std::string_view ip) {
    return int(std::erase(entries_, ip));
}

bool BanList::Clear() {
    if (entries_.empty())
        return false;
    entries_.clear();
    return true;
}

} // namespace server
