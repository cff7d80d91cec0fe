// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/ZindleEncrypt.h"

#include <gtest/gtest.h>

using ZindleEncrypt::Encrypt;
using ZindleEncrypt::kKey;

namespace {
std::string Bytes(std::initializer_list<int> codes) {
    std::string s;
    for (int c : codes)
        s += static_cast<char>(c);
    return s;
}
} // namespace

TEST(Cipher, AddsTheRepeatingKey) {
    EXPECT_EQ(Encrypt(""), "");
    // 'Q' = 81: 1 + 81 = 82 ('R'); the tenth character reuses the first key character.
    EXPECT_EQ(Encrypt(Bytes({1})), "R");
    const std::string ten(10, '\x01');
    const std::string out = Encrypt(ten);
    ASSERT_EQ(out.size(), 10u);
    for (std::size_t i = 0; i < 10; ++i)
        EXPECT_EQ(static_cast<unsigned char>(out[i]), static_cast<unsigned char>(kKey[i % 9]) + 1) << i;
}

TEST(Cipher, FoldsSumsAbove254) {
    // With key "Q" (81): 173 + 81 = 254 stays; 174 + 81 = 255 becomes 32; 219 + 81 = 300 becomes 77.
    EXPECT_EQ(Encrypt(Bytes({173}), "Q"), Bytes({254}));
    EXPECT_EQ(Encrypt(Bytes({174}), "Q"), Bytes({32}));
    EXPECT_EQ(Encrypt(Bytes({219}), "Q"), Bytes({77}));
}

TEST(Cipher, NeverProducesFramingBytesWithThePrintableKey) {
    std::string all;
    for (int c = 0; c < 256; ++c)
        all += static_cast<char>(c);
    for (int shift = 0; shift < 9; ++shift) {
        const std::string out = Encrypt(all.substr(0, 256 - shift));
        for (char c : out) {
            const int code = static_cast<unsigned char>(c);
            ASSERT_GE(code, 32);
            ASSERT_LE(code, 254);
        }
    }
}

TEST(Cipher, IsDeterministicAndTellsPrintablePasswordsApart) {
    EXPECT_EQ(Encrypt("geheim"), Encrypt("geheim"));
    EXPECT_NE(Encrypt("geheim"), Encrypt("geheiM"));
    EXPECT_EQ(Encrypt("geheim").size(), 6u);
    EXPECT_EQ(Encrypt("abc", ""), "abc");
}
