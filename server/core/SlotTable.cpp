// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/core/SlotTable.h"

namespace server {

int SlotTable::TakeFree() {
    if (count_ >= kMaxSlot)
        return -1;
    // At least one slot is free, so this ends within one round of the counter.
    for (int tries = 0; tries <= kMaxSlot; ++tries) {
        if (records_[std::size_t(autoCount_)].user.InUse != kTrue)
            return autoCount_;
        ++autoCount_;
        if (autoCount_ >= kSlotCount)
            autoCount_ = 1;
    }
    return -1;
}

void SlotTable::Occupy(int slot, std::string ip, quint16 port, std::int64_t nowMs) {
    SlotRecord& r = records_[std::size_t(slot)];
    r.user.InUse = kTrue;
    r.ip = std::move(ip);
    r.port = port;
    r.connectedMs = nowMs;
    ++count_;
}

void SlotTable::Free(int slot) {
    SlotRecord& r = records_[std::size_t(slot)];
    if (r.user.InUse != kTrue)
        return;
    r.Wipe();
    --count_;
}

} // namespace server
