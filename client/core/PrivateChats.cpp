// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/core/PrivateChats.h"

namespace client {

int PrivateChats::find(int userId) const {
    for (int i = 1; i <= kSlots; ++i)
        if (slots_[std::size_t(i)].UserID == userId)
            return i;
    return 0;
}

int PrivateChats::allocate(int userId, const QString& nickname) {
    const int free = find(0);
    if (free != 0)
        slots_[std::size_t(free)] = Slot{userId, nickname};
    return free;
}

void PrivateChats::release(int userId) {
    for (Slot& s : slots_)
        if (s.UserID == userId)
            s = Slot{};
}

void PrivateChats::releaseAll() {
    for (Slot& s : slots_)
        s = Slot{};
}

int PrivateChats::heldCount() const {
    int held = 0;
    for (int i = 1; i <= kSlots; ++i)
        held += slots_[std::size_t(i)].UserID != 0 ? 1 : 0;
    return held;
}

QString PrivateCaption(const QString& nickname) {
    return nickname + QStringLiteral(" - ZindleChat");
}

} // namespace client
