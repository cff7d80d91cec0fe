// SPDX-License-Identifier: GPL-3.0-or-later
// The credits text: its fixed shape, the eight-line caption, the wrap after
// the last line and the counter that carries over between showings.
#include "about/CreditsScroller.h"
#include <gtest/gtest.h>

using about::CreditsScroller;

namespace {
QString Caption(const QStringList& lines) {
    QString text;
    for (const QString& line : lines)
        text += line + QStringLiteral("\r\n");
    return text;
}
} // namespace

TEST(CreditsScroller, CreditListHasFiveBlocksAndTrailingBlankLines) {
    const QStringList credits = CreditsScroller::DefaultCredits();
    ASSERT_EQ(credits.size(), 34);

    // Each heading is followed by a dash line of exactly its length.
    const QStringList headings{"Geprogrammeerd door", "Grafisch design", QString(), "Testers", "Groeten aan"};
    const int headingAt[] = {0, 5, 10, 15, 23};
    for (int i = 0; i < 5; ++i) {
        const QString& heading = credits[headingAt[i]];
        if (!headings[i].isEmpty()) {
            EXPECT_EQ(heading, headings[i]);
        }
        EXPECT_FALSE(heading.isEmpty());
        EXPECT_EQ(credits[headingAt[i] + 1], QString(heading.size(), QLatin1Char('-')))
            << heading.toStdString();
    }
    EXPECT_EQ(credits[10].size(), 20) << "the logo heading";
    // Four testers, then two empty lines.
    for (int i = 17; i < 21; ++i)
        EXPECT_FALSE(credits[i].isEmpty());
    EXPECT_TRUE(credits[21].isEmpty() && credits[22].isEmpty());
    // The last entry is followed by eight empty lines in all.
    EXPECT_FALSE(credits[25].isEmpty());
    for (int i = 26; i < 34; ++i)
        EXPECT_TRUE(credits[i].isEmpty()) << i;
}

TEST(CreditsScroller, CaptionKeepsEightLinesAndScrollsUp) {
    CreditsScroller scroller;
    scroller.Begin();
    EXPECT_EQ(scroller.caption(), QString("\r\n").repeated(8));
    EXPECT_EQ(scroller.credits().size(), 34);

    const QStringList credits = scroller.credits();
    QStringList expected(8, QString());
    for (int step = 1; step <= 12; ++step) {
        scroller.Step();
        expected.removeFirst();
        expected.append(credits[step - 1]);
        ASSERT_EQ(scroller.visibleLines(), expected) << "step " << step;
        ASSERT_EQ(scroller.caption(), Caption(expected));
        EXPECT_EQ(scroller.counter(), step);
    }
    EXPECT_EQ(scroller.displayText().count(QLatin1Char('\n')), 7);
}

TEST(CreditsScroller, WrapsToTheFirstLineAfterTheLast) {
    CreditsScroller scroller;
    scroller.Begin();
    for (int i = 0; i < 34; ++i)
        scroller.Step();
    EXPECT_EQ(scroller.counter(), 0);
    EXPECT_EQ(scroller.visibleLines().last(), scroller.credits()[33]);
    scroller.Step();
    EXPECT_EQ(scroller.counter(), 1);
    EXPECT_EQ(scroller.visibleLines().last(), QStringLiteral("Geprogrammeerd door"));
}

TEST(CreditsScroller, ReopeningStartsBlankAndContinuesWithTheNextLine) {
    CreditsScroller scroller;
    scroller.Begin();
    for (int i = 0; i < 6; ++i)
        scroller.Step();
    ASSERT_EQ(scroller.visibleLines().last(), scroller.credits()[5]);

    scroller.Begin();
    EXPECT_EQ(scroller.caption(), QString("\r\n").repeated(8));
    EXPECT_EQ(scroller.credits().size(), 34) << "the list is filled only once";
    scroller.Step();
    EXPECT_EQ(scroller.visibleLines().last(), scroller.credits()[6]);
    EXPECT_EQ(scroller.visibleLines().mid(0, 7), QStringList(7, QString()));
}

TEST(CreditsScroller, CounterStaysInRangeOverAVeryLongRun) {
    // Far beyond what a 16-bit counter could count; at 400 ms a step this is
    // more than four days of an About window left open.
    CreditsScroller scroller;
    scroller.Begin();
    const QStringList credits = scroller.credits();
    constexpr int kSteps = 1'000'003;
    for (int i = 0; i < kSteps; ++i) {
        scroller.Step();
        ASSERT_GE(scroller.counter(), 0);
        ASSERT_LT(scroller.counter(), 34);
    }
    EXPECT_EQ(scroller.counter(), kSteps % 34);
    EXPECT_EQ(scroller.visibleLines().last(), credits[(kSteps - 1) % 34]);
    EXPECT_EQ(scroller.visibleLines().size(), 8);
}

TEST(CreditsScroller, StepBeforeBeginStillShowsEightLines) {
    CreditsScroller scroller;
    scroller.Step();
    EXPECT_EQ(scroller.visibleLines().size(), 8);
    EXPECT_EQ(scroller.visibleLines().last(), QStringLiteral("Geprogrammeerd door"));
}
