// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One-way scrambler for the room password. Both programs scramble with the same
// fixed key and compare the scrambled forms; nothing ever unscrambles.
#include <string>
#include <string_view>

namespace ZindleEncrypt {

inline constexpr std::string_view kKey = "Qv7#pL2@x";

// Same length as the input; with a printable key no result byte is NUL or 0xFF.
// An empty key leaves the text unchanged.
std::string Encrypt(std::string_view text, std::string_view key = kKey);

} // namespace ZindleEncrypt
