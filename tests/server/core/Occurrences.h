// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How often a text occurs in another, overlapping matches included.
#include <cstddef>
#include <string_view>

namespace testing_support {

inline std::size_t Occurrences(std::string_view text, std::string_view needle) {
    std::size_t n = 0;
    for (std::size_t pos = text.find(needle); pos != std::string_view::npos; pos = text.find(needle, pos + 1))
        ++n;
    return n;
}

} // namespace testing_support
