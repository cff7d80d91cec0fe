// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/ZindleDivideCombine.h"

#include <gtest/gtest.h>
#include <random>

using namespace ZindleDivideCombine;

TEST(Packing, DivideOfSmallTexts) {
    struct Row {
        std::string text;
        Fields fields;
    };
    const Row rows[] = {
        {"", {""}},
        {"#", {"", ""}},
        {"a#b#", {"a", "b", ""}},
        {"a\\#b#c", {"a#b", "c"}},
        {"a\\qb", {"aqb"}},
        {"ab\\", {"ab"}},
        {"\\N", {"N"}},
        {"x\\r\\n", {"x\r\n"}},
        {"\\\\#", {"\\", ""}},
        {std::string("a\0b#\xFF", 5), {std::string("a\0b", 3), "\xFF"}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(Divide(row.text), row.fields) << "text: " << row.text;
}

TEST(Packing, CombineEscapesEverySpecialCharacter) {
    EXPECT_EQ(Combine({"a#b", "c\\d", "x\r\n"}), "a\\#b#c\\\\d#x\\r\\n");
    EXPECT_EQ(Combine({}), "");
    EXPECT_EQ(Combine({""}), "");
    EXPECT_EQ(Combine({"", ""}), "#");
    EXPECT_EQ(Escape("plain text"), "plain text");
    EXPECT_EQ(Escape("gast> hallo\r\n"), "gast> hallo\\r\\n");
}

TEST(Packing, UnescapeKeepsUnescapedSeparators) {
    EXPECT_EQ(Unescape("a#b\\#c\\n"), "a#b#c\n");
    EXPECT_EQ(Unescape(""), "");
    EXPECT_EQ(Unescape("tail\\"), "tail");
    EXPECT_EQ(Unescape("**Je bent gekicked van de server\\r\\n"), "**Je bent gekicked van de server\r\n");
}

TEST(Packing, OtherSeparatorAndEscapeCharacters) {
    EXPECT_EQ(Combine({"a|b", "c"}, "|", "%"), "a%|b|c");
    EXPECT_EQ(Divide("a%|b|c", "|", "%"), (Fields{"a|b", "c"}));
    // "#" is ordinary with another separator.
    EXPECT_EQ(Divide("a#b", "|"), (Fields{"a#b"}));
}

TEST(Packing, PlainHashListSplitsAndEscapesInsideFields) {
    // USRL and friends are joined with "#" without escaping.
    EXPECT_EQ(Divide("3#ga\\st#0"), (Fields{"3", "gast", "0"}));
    EXPECT_EQ(Divide("5#my#file.txt#4000"), (Fields{"5", "my", "file.txt", "4000"}));
}

TEST(Packing, LongTextsArePackedInFull) {
    const std::string big(100000, '#');
    const std::string packed = Combine({big, "end"});
    EXPECT_EQ(packed.size(), 2 * big.size() + 4);
    const Fields back = Divide(packed);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0], big);
    EXPECT_EQ(Unescape(Escape(big)), big);
}

TEST(Packing, RandomFieldListsSurviveCombineThenDivide) {
    const char alphabet[] = {'a', 'Z', '#', '\\', '\r', '\n', '\0', '\xFF', 'n', 'r', ' '};
    std::mt19937 rng(20261207);
    for (int round = 0; round < 2000; ++round) {
        Fields fields(1 + rng() % 6);
        for (std::string& f : fields) {
            const std::size_t len = rng() % 12;
            for (std::size_t i = 0; i < len; ++i)
                f += alphabet[rng() % sizeof alphabet];
        }
        const std::string packed = Combine(fields);
        if (fields.size() == 1 && fields[0].empty())
            continue; // one empty field packs to "", which reads back as one empty field too
        ASSERT_EQ(Divide(packed), fields) << "packed: " << packed;
        for (const std::string& f : fields)
            ASSERT_EQ(Unescape(Escape(f)), f);
    }
}
