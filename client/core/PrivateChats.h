// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The table of open private conversations: slots 1..250, each held by one window
// and keyed by the partner's user id; 0 means free. The windows themselves belong
// to the main window, indexed like this table.
#include <QString>
#include <array>

namespace client {

class PrivateChats {
public:
    static constexpr int kSlots = 250;

    struct Slot {
        int UserID = 0;
        QString Nickname;
    };

    // The slot of a partner, 0 when none.
    int find(int userId) const;
    // Takes the lowest free slot for this partner; 0 when all are held.
    int allocate(int userId, const QString& nickname);
    // Frees every slot held for this id (a window closing).
    void release(int userId);
    void releaseAll();

    const Slot& slot(int index) const { return slots_.at(std::size_t(index)); }
    int heldCount() const;

private:
    std::array<Slot, kSlots + 1> slots_{}; // slot 0 is never used
};

// The message box text when all slots are held.
inline const QString kTooManyChats = QStringLiteral("Er staan teveel chatschermen open, sluit er een af.");

// Caption of a private window: nickname + " - ZindleChat".
QString PrivateCaption(const QString& nickname);

} // namespace client
