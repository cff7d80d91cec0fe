// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One record of the slot table. Flags are 16-bit integers holding -1 (true) or 0.
// Strings hold wire bytes (one byte per character); an empty std::string owns no
// heap memory, so the 32,767 free records cost only their fixed size.
#include <cstdint>
#include <string>

namespace server {

inline constexpr std::int16_t kTrue = -1;
inline constexpr std::int16_t kFalse = 0;

struct UserSlot {
    std::int16_t Acknowledged = kFalse; // sent "ACKD": logged in
    std::int16_t InUse = kFalse;        // holds an accepted connection
    std::string Nickname;               // from the accepted "CACK"
    std::int16_t Away = kFalse;
    std::string ClientVersion; // from the accepted "CACK"

    void clear() { *this = UserSlot{}; }
};

} // namespace server
