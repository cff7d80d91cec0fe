// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Field packing: an ordered list of text fields <-> one string.
//
//   packed := field ( SEP field )*
//   field  := ( ESC ESC | ESC SEP | ESC 'n' | ESC 'r' | ESC other | plain )*
//
// SEP is "#" and ESC is "\" unless the caller passes others; an empty argument
// means the default. Bytes are bytes: NUL and 0xFF are ordinary characters here.
// Texts longer than 32,767 characters are processed in full, like any other:
// nothing is cut and no position can overflow.
#include <string>
#include <string_view>
#include <vector>

namespace ZindleDivideCombine {

using Fields = std::vector<std::string>;

inline constexpr char kSeparator = '#';
inline constexpr char kEscape = '\\';

std::string Combine(const Fields& fields, std::string_view separator = {}, std::string_view escape = {});
Fields Divide(std::string_view text, std::string_view separator = {}, std::string_view escape = {});
std::string Escape(std::string_view text, std::string_view separator = {}, std::string_view escape = {});
std::string Unescape(std::string_view text, std::string_view separator = {}, std::string_view escape = {});

} // namespace ZindleDivideCombine
