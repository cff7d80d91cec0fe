// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Everything the server keeps about one slot of the table, in one record. A free
// record owns no heap memory, so the 32,767 of them cost only their fixed size.
#include "server/core/SlotInput.h"
#include "server/core/UserSlot.h"

#include <QtGlobal>
#include <cstdint>
#include <string>

namespace server {

// What a release wipes.
struct SlotState {
    UserSlot user;                  // what the window and the dispatcher read
    std::string ip;                 // dotted address, kept from the accept
    quint16 port = 0;               // the peer's port
    bool loginAccepted = false;     // "SACK" was sent: an "ACKD" may follow
    bool overfull = false;          // marked for dropping; sends to it are lost
    bool sendBufferBounded = false; // the system's send buffer was made small
    bool secondCackLogged = false;  // a repeated "CACK" was logged once
    std::int64_t connectedMs = 0;   // when the connection was accepted
    std::string hostName;           // filled by a lookup asked for by "Info"
};

struct SlotRecord : SlotState {
    std::uint32_t generation = 0; // bumped at every release
    bool inArrival = false;       // its messages are being handled
    SlotInput input;              // bytes read and not handled yet

    // Wipes the slot for its next connection. A running arrival still reads its
    // input; it throws the bytes away itself when it sees the new generation.
    void Wipe() {
        static_cast<SlotState&>(*this) = SlotState{};
        ++generation;
        if (!inArrival)
            input.Clear();
    }
};

} // namespace server
