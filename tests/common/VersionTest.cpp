// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/ZindleVersion.h"

#include <gtest/gtest.h>

using namespace ZindleVersion;

TEST(Version, TextsOfThisRelease) {
    EXPECT_EQ(ClientVersionText(), "0.2 build #0013");
    EXPECT_EQ(ServerVersionText(), "0.2.0004");
    EXPECT_EQ(DisplayVersion(0, 2, 4), "0.2 build #0004");
    EXPECT_EQ(ClientVersionText(1, 10, 12345), "1.10 build #12345");
}

TEST(Version, TheAcceptanceRule) {
    struct Row {
        const char* text;
        bool accepted;
    };
    const Row rows[] = {
        {"0.1 build #0016", false},
        {"0.1 build #0017", true},
        {"0.2 build #0000", true},
        {"1.0 build #0000", true},
        {"0.2 build #0013", true},
        {"", false},
        {"0.1", false},
        {"-1.9 build #9999", false},
        {"garbage", false},
        {"  0.  3 build #1", true},
        {"7", true},
        {"0.1 build #16.5", false},
        {"0.1 build #17.5", true},
        {"0.1.9 build #0017", true},
        {"0.0 build #9999", false},
        {"0.1 build # 18", true},
        {"0.1 build 18", false},
        {"99999999999999999999.0", true},
    };
    for (const Row& row : rows)
        EXPECT_EQ(VersionAccepted(row.text), row.accepted) << row.text;
}

TEST(Version, NumbersAreRoundedHalfToEven) {
    EXPECT_EQ(ReadVersionNumbers("0.1 build #16.5").build, 16);
    EXPECT_EQ(ReadVersionNumbers("0.1 build #17.5").build, 18);
    EXPECT_EQ(ReadVersionNumbers("0.2.5 build #1").minor, 2);
    EXPECT_EQ(ReadVersionNumbers("2.5").major, 2); // the major piece is "2."
    EXPECT_EQ(ReadVersionNumbers("x.3 build #x").minor, 3);
}
