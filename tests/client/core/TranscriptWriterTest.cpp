// SPDX-License-Identifier: GPL-3.0-or-later
// The transcript writer: colour runs of the line layouts, the 20,000-character
// cut (exact edges, long lines, colours kept), and the document staying in step
// with the plain text it stands for.
#include "client/core/TranscriptWriter.h"

#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <gtest/gtest.h>

using client::ChatColors;
using client::TranscriptWriter;

namespace {

struct ColourRun {
    QString text;
    qint64 color;
    bool operator==(const ColourRun&) const = default;
};

void PrintTo(const ColourRun& r, std::ostream* os) {
    *os << '"' << r.text.toStdString() << "\" #" << std::hex << r.color << std::dec;
}

const ChatColors kColors; // defaults
const qint64 kGrey = kColors.Timestamp, kOrange = kColors.Nickname, kRed = kColors.LocalNickname,
             kBlack = kColors.Text, kPurple = kColors.Action;
const QString kStamp = QStringLiteral("[12:34:56] ");

// The document as coloured runs; paragraph breaks show as "\n" and adjacent
// pieces of one colour are joined.
std::vector<ColourRun> Runs(const QTextDocument& doc) {
    std::vector<ColourRun> runs;
    auto add = [&runs](const QString& text, qint64 color) {
        if (!runs.empty() && runs.back().color == color)
            runs.back().text += text;
        else
            runs.push_back({text, color});
    };
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it)
            add(it.fragment().text(), client::ColorToInt(it.fragment().charFormat().foreground().color()));
        if (block.next().isValid() && !runs.empty())
            runs.back().text += u'\n';
    }
    return runs;
}

// Breaks aside, the document must hold exactly the transcript's characters.
QString WithoutBreaks(QString text) {
    text.remove(u'\r');
    text.remove(u'\n');
    text.remove(QChar::ParagraphSeparator);
    return text;
}

class TranscriptTest : public ::testing::Test {
protected:
    TranscriptTest() : writer(&doc) {
        writer.setClock([] { return QTime(12, 34, 56); });
        writer.setLocalNickname(QStringLiteral("Jan"));
    }
    std::vector<ColourRun> runs() {
        writer.flush();
        return Runs(doc);
    }
    void expectInStep() {
        writer.flush();
        EXPECT_EQ(WithoutBreaks(doc.toPlainText()), WithoutBreaks(writer.plainText()));
    }
    QTextDocument doc;
    TranscriptWriter writer;
};

TEST_F(TranscriptTest, LineLayoutsGetTheirColours) {
    writer.AddOutput(QStringLiteral("Jan> hallo\r\n"));
    writer.AddOutput(QStringLiteral("jan> hallo\r\n")); // case counts
    writer.AddOutput(QStringLiteral("* Jan zegt a> b\r\n"));
    writer.AddOutput(QStringLiteral("* Piet zwaait\r\n"));
    writer.AddOutput(QStringLiteral("Private message niet aangekomen"));
    writer.AddOutput(QStringLiteral("**WACHTWOORD FOUT**\r\n"));
    writer.AddOutput(QStringLiteral("zonder tijd\r\n"), true);

    const std::vector<ColourRun> expected = {
        {kStamp, kGrey},
        {"Jan>", kRed},
        {" hallo\n", kBlack},
        {kStamp, kGrey},
        {"jan>", kOrange},
        {" hallo\n", kBlack},
        {kStamp, kGrey},
        {"* Jan zegt a>", kOrange},
        {" b\n", kBlack},
        {kStamp, kGrey},
        {"* Piet zwaait\n", kPurple},
        {kStamp, kGrey},
        // no line ending: the next timestamp follows on the same line
        {"Private message niet aangekomen", kBlack},
        {kStamp, kGrey},
        {"**WACHTWOORD FOUT**\n", kPurple},
        {"zonder tijd\n", kBlack},
    };
    EXPECT_EQ(runs(), expected);
    EXPECT_EQ(writer.plainText().left(24), QStringLiteral("[12:34:56] Jan> hallo\r\n["));
}

TEST_F(TranscriptTest, ColoursAreReadPerLineAndOldLinesKeepTheirs) {
    ChatColors colors;
    QString nickname = QStringLiteral("Jan");
    writer.setColorsSource([&colors] { return colors; });
    writer.setLocalNicknameSource([&nickname] { return nickname; });
    writer.AddOutput(QStringLiteral("Piet> a\r\n"), true);
    colors.Nickname = 0x123456;
    nickname = QStringLiteral("Piet"); // a later session under another name
    writer.AddOutput(QStringLiteral("Piet> b\r\n"), true);
    writer.AddOutput(QStringLiteral("Kees> c\r\n"), true);
    const std::vector<ColourRun> expected = {{"Piet>", kOrange}, {" a\n", kBlack},    {"Piet>", kRed},
                                             {" b\n", kBlack},   {"Kees>", 0x123456}, {" c\n", kBlack}};
    EXPECT_EQ(runs(), expected);
}

TEST_F(TranscriptTest, MessageOfTheDayIsOneBlock) {
    writer.AddOutput(QStringLiteral("Message of the Day:\r\n---\r\nWelkom\r\n---\r\n"));
    const std::vector<ColourRun> expected = {{kStamp, kGrey},
                                             {"Message of the Day:\n---\nWelkom\n---\n", kBlack}};
    EXPECT_EQ(runs(), expected);
}

TEST_F(TranscriptTest, CutsOnlyPastTwentyThousandAndThenWholeLines) {
    const QString line = QString(98, u'x') + QStringLiteral("\r\n"); // 100 characters
    for (int i = 0; i < 200; ++i)
        writer.AddOutput(line, true);
    ASSERT_EQ(writer.length(), 20000);
    EXPECT_EQ(doc.blockCount(), 201); // nothing cut at exactly the limit

    writer.AddOutput(QStringLiteral("y"), true); // 20,001: the first line goes
    EXPECT_EQ(writer.length(), 19901);
    EXPECT_TRUE(writer.plainText().startsWith(line));
    EXPECT_TRUE(writer.plainText().endsWith(u'y'));
    writer.flush();
    EXPECT_EQ(doc.blockCount(), 200);
    expectInStep();
}

TEST_F(TranscriptTest, TheSearchStartsAtLengthMinusTwentyThousand) {
    // First line "ab\r\n": its CR LF is found when the search starts at its CR
    // (length 20,003: position 3 counted from 1) but not one character later.
    const QString filler = QString(98, u'x') + QStringLiteral("\r\n");
    for (int extra : {99, 100}) {
        SCOPED_TRACE(extra);
        QTextDocument d;
        TranscriptWriter w(&d);
        w.AddOutput(QStringLiteral("ab\r\n"), true);
        for (int i = 0; i < 199; ++i)
            w.AddOutput(filler, true);
        w.AddOutput(QString(extra, u'z'), true); // 4 + 19,900 + extra
        w.flush();
        if (extra == 99) {
            EXPECT_EQ(w.length(), 20003 - 4);
            EXPECT_TRUE(w.plainText().startsWith(filler));
            EXPECT_EQ(d.blockCount(), 200);
        } else {
            EXPECT_EQ(w.length(), 20004 - 4 - 100); // the next CR LF ends the cut
            EXPECT_EQ(d.blockCount(), 199);
        }
        EXPECT_EQ(WithoutBreaks(d.toPlainText()), WithoutBreaks(w.plainText()));
    }
}

TEST_F(TranscriptTest, ALineLongerThanTheWindowLosesOneCharacterPerAppend) {
    writer.AddOutput(QStringLiteral("a") + QString(24999, u'z'), true);
    EXPECT_EQ(writer.length(), 24999);
    EXPECT_TRUE(writer.plainText().startsWith(u'z'));
    writer.AddOutput(QStringLiteral("!"), true);
    EXPECT_EQ(writer.length(), 24999);
    EXPECT_TRUE(writer.plainText().endsWith(u'!'));
    expectInStep();
}

TEST_F(TranscriptTest, TextWithoutLineEndsStaysBounded) {
    // Lines that never end ("Private message niet aangekomen", or a peer that
    // leaves the line end out) would otherwise lose one character per append.
    writer.setLimit(100);
    qsizetype longest = 0;
    for (int i = 0; i < 100; ++i) {
        writer.AddOutput(QStringLiteral("abcdefghij"));
        longest = std::max(longest, writer.length());
    }
    EXPECT_LE(longest, 200);
    EXPECT_GE(writer.length(), 100);
    EXPECT_TRUE(writer.plainText().endsWith(QStringLiteral("] abcdefghij")));
    expectInStep();
}

TEST_F(TranscriptTest, LinesThatRemainAfterACutKeepTheirColours) {
    for (int i = 0; i < 400; ++i)
        writer.AddOutput(QStringLiteral("Piet> ") + QString(80, u'p') + QStringLiteral("\r\n"));
    writer.AddOutput(QStringLiteral("* Klaas komt binnen\r\n"));
    writer.AddOutput(QStringLiteral("Jan> hoi\r\n"));
    ASSERT_LE(writer.length(), 20000);
    const std::vector<ColourRun> runs = this->runs();
    ASSERT_GE(runs.size(), 7u);
    // The transcript starts with a whole line, coloured as it was written.
    EXPECT_EQ(runs[0], (ColourRun{kStamp, kGrey}));
    EXPECT_EQ(runs[1], (ColourRun{"Piet>", kOrange}));
    const std::vector<ColourRun> tail(runs.end() - 5, runs.end());
    const std::vector<ColourRun> expectedTail = {
        {"* Klaas komt binnen\n", kPurple}, {kStamp, kGrey}, {"Jan>", kRed}, {" hoi\n", kBlack}};
    EXPECT_EQ(std::vector<ColourRun>(tail.begin() + 1, tail.end()), expectedTail);
    expectInStep();
}

TEST_F(TranscriptTest, DocumentStaysInStepWithBreaksOfEveryKind) {
    // CR LF inside one piece becomes one break in the document, a CR at the end of
    // one line and an LF at the start of the next two: cuts must count both right.
    writer.setLimit(60);
    const QString pieces[] = {QStringLiteral("a\r\nb"),  QStringLiteral("\r"),
                              QStringLiteral("\n"),      QStringLiteral("Jan> x\r\n\r\n"),
                              QStringLiteral("c\rd\ne"), QStringLiteral("* f\r\n"),
                              QStringLiteral("\r\n"),    QStringLiteral("ghijklmnopqrstuvwxyz")};
    unsigned seed = 12345;
    for (int i = 0; i < 3000; ++i) {
        seed = seed * 1103515245u + 12345u;
        writer.AddOutput(pieces[(seed >> 16) % 8], (seed >> 8) % 2 == 0);
        if (i % 7 != 0)
            continue; // cuts wait in between
        writer.flush();
        ASSERT_EQ(WithoutBreaks(doc.toPlainText()), WithoutBreaks(writer.plainText())) << "after " << i;
    }
}

// What the limit cuts in the same call never enters the document: a line of
// 60,000 characters costs the window nothing to lay out and remove again.
TEST_F(TranscriptTest, TextCutInTheSameCallNeverReachesTheDocument) {
    writer.setLinksSource([] { return true; });
    writer.setLimit(50);
    int largestInsert = 0;
    QObject::connect(&doc, &QTextDocument::contentsChange,
                     [&](int, int, int added) { largestInsert = std::max(largestInsert, added); });
    const QString pieces[] = {
        QStringLiteral("Piet> ") + QString(120, u'x') + QStringLiteral("\r\n") + QString(30, u'y') +
            QStringLiteral("\r\n"),
        QStringLiteral("Piet> www.a.nl ") + QString(70, u'z'), QStringLiteral("\r\nkort\r\n"),
        QStringLiteral("* ") + QString(60, u'w') + QStringLiteral("\r"), QStringLiteral("\nab\r\n")};
    unsigned seed = 4242;
    for (int i = 0; i < 1500; ++i) {
        seed = seed * 1103515245u + 12345u;
        writer.AddOutput(pieces[(seed >> 16) % 5], (seed >> 8) % 2 == 0);
        if (i % 3 != 0)
            continue;
        writer.flush();
        ASSERT_EQ(WithoutBreaks(doc.toPlainText()), WithoutBreaks(writer.plainText())) << "after " << i;
    }
    EXPECT_LE(largestInsert, 2 * 50); // never more than the window keeps

    writer.setLimit(TranscriptWriter::kDefaultLimit);
    largestInsert = 0;
    writer.AddOutput(QStringLiteral("Piet> ") + QString(60000, u'x') + QStringLiteral("\r\n"));
    writer.flush();
    EXPECT_EQ(writer.plainText(), QString());
    EXPECT_EQ(doc.toPlainText(), QString());
    EXPECT_EQ(largestInsert, 0);
}

TEST_F(TranscriptTest, LinksChangeNoCharacterAndCutsStayInStep) {
    writer.setLinksSource([] { return true; });
    writer.setLimit(70);
    const QString pieces[] = {QStringLiteral("Piet> www.a.nl\r\n"), QStringLiteral("http://b.nl"),
                              QStringLiteral("\r\nmailto:c@d.nl"), QStringLiteral("\n(https://e.nl/f)\r"),
                              QStringLiteral("* g www.h.nl.\r\n")};
    unsigned seed = 777;
    for (int i = 0; i < 1000; ++i) {
        seed = seed * 1103515245u + 12345u;
        writer.AddOutput(pieces[(seed >> 16) % 5], (seed >> 8) % 2 == 0);
        if (i % 5 != 0)
            continue;
        writer.flush();
        ASSERT_EQ(WithoutBreaks(doc.toPlainText()), WithoutBreaks(writer.plainText())) << "after " << i;
    }
    writer.clear();
    writer.AddOutput(QStringLiteral("Piet> zie www.a.nl, ja\r\n"));
    int anchors = 0;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isAnchor()) {
                ++anchors;
                EXPECT_EQ(it.fragment().text(), QStringLiteral("www.a.nl"));
                EXPECT_EQ(it.fragment().charFormat().anchorHref(), QStringLiteral("http://www.a.nl"));
            }
    EXPECT_EQ(anchors, 1);
    EXPECT_EQ(runs().back(), (ColourRun{" zie www.a.nl, ja\n", kBlack})); // the line's own colour
}

TEST_F(TranscriptTest, CuttingTheCrOfAJoinedLineEndTakesItsLfAlong) {
    writer.setLimit(10);
    writer.AddOutput(QStringLiteral("\r\n") + QString(15, u'a'), true); // no CR LF in the window
    writer.flush();
    EXPECT_EQ(writer.plainText(), QString(15, u'a'));
    EXPECT_EQ(doc.toPlainText(), QString(15, u'a'));
}

TEST_F(TranscriptTest, TheDocumentCatchesUpWithCutsOnceIdle) {
    const QString line = QStringLiteral("Piet> ") + QString(92, u'p') + QStringLiteral("\r\n"); // 100
    for (int i = 0; i < 230; ++i)
        writer.AddOutput(line, true);
    EXPECT_LE(writer.length(), 20000);
    // A burst never lets the document run more than a quarter window ahead.
    EXPECT_LE(doc.characterCount(), 20000 + 5000 + 100);
    EXPECT_GT(doc.characterCount(), 20000); // the last cuts still wait ...
    QTest::qWait(20);                       // ... for the event loop
    EXPECT_EQ(doc.blockCount(), writer.plainText().count(QStringLiteral("\r\n")) + 1);
    EXPECT_EQ(WithoutBreaks(doc.toPlainText()), WithoutBreaks(writer.plainText()));
}

TEST_F(TranscriptTest, ClearEmptiesEverything) {
    writer.AddOutput(QStringLiteral("Jan> hoi\r\n"));
    writer.clear();
    EXPECT_EQ(writer.length(), 0);
    EXPECT_TRUE(doc.isEmpty());
    writer.AddOutput(QStringLiteral("* weer\r\n"), true);
    EXPECT_EQ(runs(), (std::vector<ColourRun>{{"* weer\n", kPurple}}));
    EXPECT_FALSE(doc.isUndoAvailable());
}

} // namespace
