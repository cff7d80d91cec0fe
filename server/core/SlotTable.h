// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The slot table: one record per slot, the generation that tells a slot's
// connections apart, and which slot the next connection gets. Slot 0 is the
// listener's and never handed out.
#include "server/core/SlotRecord.h"

#include <cstddef>
#include <string>
#include <vector>

namespace server {

class SlotTable {
public:
    static constexpr int kSlotCount = 32767; // records 0..32766
    static constexpr int kMaxSlot = kSlotCount - 1;

    SlotTable() : records_(kSlotCount) {}

    SlotRecord& operator[](std::size_t slot) { return records_[slot]; }
    const SlotRecord& operator[](std::size_t slot) const { return records_[slot]; }
    bool InUse(int slot) const {
        return slot >= 1 && slot <= kMaxSlot && records_[std::size_t(slot)].user.InUse == kTrue;
    }

    // The next free slot counting on from the last one given, or -1 when all are taken.
    int TakeFree();
    // The slot now holds a connection from ip:port.
    void Occupy(int slot, std::string ip, quint16 port, std::int64_t nowMs);
    // Wipes the slot; its generation moves on.
    void Free(int slot);
    // Calls f(slot) for every slot holding a connection, in slot order.
    template <typename F> void ForEachInUse(F&& f) {
        for (int slot = 1; slot <= kMaxSlot && count_ > 0; ++slot)
            if (records_[std::size_t(slot)].user.InUse == kTrue)
                f(slot);
    }

    int Count() const { return count_; }
    int AutoCount() const { return autoCount_; }
    void RestartCounter() { autoCount_ = 1; }

private:
    std::vector<SlotRecord> records_; // index = slot
    int count_ = 0;
    int autoCount_ = 1;
};

} // namespace server
