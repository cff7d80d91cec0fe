// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The connection in a slot, told apart from later ones in the same slot.
#include <cstdint>

namespace server {

struct SlotRef {
    int slot = -1;
    std::uint32_t generation = 0;
    bool operator==(const SlotRef&) const = default;
};

} // namespace server
