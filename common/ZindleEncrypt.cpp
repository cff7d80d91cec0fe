// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/ZindleEncrypt.h"

namespace ZindleEncrypt {

std::string Encrypt(std::string_view text, std::string_view key) {
    if (key.empty())
        return std::string(text);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int a = static_cast<unsigned char>(text[i]);
        const int k = static_cast<unsigned char>(key[i % key.size()]);
        int v = a + k;
        while (v > 254)
            v = v % 255 + 32;
        out += static_cast<char>(static_cast<unsigned char>(v));
    }
    return out;
}

} // namespace ZindleEncrypt
