// SPDX-License-Identifier: GPL-3.0-or-later
// The conveniences' rules without windows: input history, nickname completion,
// and link spans.
#include "client/core/InputHistory.h"
#include "client/core/LinkSpans.h"
#include "client/core/NicknameCompletion.h"

#include <gtest/gtest.h>

using namespace client;

void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace client {
void PrintTo(const LinkSpan& s, std::ostream* os) {
    *os << "{" << s.start << ", " << s.length << ", " << s.url.toStdString() << "}";
}
void PrintTo(const InputState& s, std::ostream* os) {
    *os << '"' << s.text.toStdString() << "\" @" << s.caret;
}
} // namespace client

namespace {

TEST(InputHistoryTest, UpWalksBackNewestFirstAndDownReturnsTheDraft) {
    InputHistory history;
    EXPECT_FALSE(history.older(QStringLiteral("x")));
    for (const char* line : {"een", "twee", "twee", "", "drie"})
        history.record(QString::fromLatin1(line));
    EXPECT_EQ(history.size(), 3); // no empty line, no repeat of the newest

    EXPECT_EQ(history.older(QStringLiteral("half getypt")), QStringLiteral("drie"));
    EXPECT_EQ(history.older(QStringLiteral("drie")), QStringLiteral("twee"));
    EXPECT_EQ(history.older(QStringLiteral("twee")), QStringLiteral("een"));
    EXPECT_FALSE(history.older(QStringLiteral("een"))); // the oldest stays
    EXPECT_EQ(history.newer(), QStringLiteral("twee"));
    EXPECT_EQ(history.newer(), QStringLiteral("drie"));
    EXPECT_EQ(history.newer(), QStringLiteral("half getypt"));
    EXPECT_FALSE(history.newer());

    // Sending starts the walk at the bottom again, with a fresh draft.
    history.older(QString());
    history.record(QStringLiteral("vier"));
    EXPECT_EQ(history.older(QStringLiteral("nieuw")), QStringLiteral("vier"));
    EXPECT_EQ(history.newer(), QStringLiteral("nieuw"));
}

TEST(InputHistoryTest, KeepsTheNewestHundred) {
    InputHistory history;
    for (int i = 1; i <= 150; ++i)
        history.record(QString::number(i));
    EXPECT_EQ(history.size(), InputHistory::kLimit);
    QString oldest;
    while (const auto line = history.older(QString()))
        oldest = *line;
    EXPECT_EQ(oldest, QStringLiteral("51"));
}

const QStringList kUsers{QStringLiteral("Piet"), QStringLiteral("Away|pieter"), QStringLiteral("Kees"),
                         QStringLiteral("PIM")};

TEST(NicknameCompletionTest, CompletesCyclesAndAddsAColonOnlyAtTheLineStart) {
    NicknameCompletion completion;
    // Matches in any case, in alphabetical order, the away prefix dropped.
    auto first = completion.complete({QStringLiteral("pi"), 2}, kUsers);
    ASSERT_TRUE(first);
    EXPECT_EQ(*first, (InputState{QStringLiteral("Piet: "), 6}));
    EXPECT_EQ(completion.complete(*first, kUsers), (InputState{QStringLiteral("pieter: "), 8}));
    auto third = completion.complete({QStringLiteral("pieter: "), 8}, kUsers);
    EXPECT_EQ(third, (InputState{QStringLiteral("PIM: "), 5}));
    EXPECT_EQ(completion.complete(*third, kUsers), (InputState{QStringLiteral("Piet: "), 6})); // round again

    // In the middle of a line: the word before the caret, the rest kept, no colon.
    completion.reset();
    EXPECT_EQ(completion.complete({QStringLiteral("hoi ke, hoe"), 6}, kUsers),
              (InputState{QStringLiteral("hoi Kees, hoe"), 8}));
}

TEST(NicknameCompletionTest, NothingToCompleteLeavesTheTabToTheFocus) {
    NicknameCompletion completion;
    EXPECT_FALSE(completion.complete({QString(), 0}, kUsers));
    EXPECT_FALSE(completion.complete({QStringLiteral("hoi "), 4}, kUsers)); // no word before the caret
    EXPECT_FALSE(completion.complete({QStringLiteral("jan"), 3}, kUsers));
    EXPECT_FALSE(completion.complete({QStringLiteral("pi"), 2}, {}));

    // Typing between two Tabs starts a new completion from what is there now.
    auto done = completion.complete({QStringLiteral("k"), 1}, kUsers);
    ASSERT_TRUE(done);
    EXPECT_EQ(completion.complete({done->text + QStringLiteral("pi"), done->caret + 2}, kUsers),
              (InputState{QStringLiteral("Kees: Piet"), 10}));
}

struct LinkCase {
    const char* line;
    std::vector<LinkSpan> spans;
};

TEST(LinkSpansTest, ExactSpansOfTheFourBeginnings) {
    const std::vector<LinkCase> cases = {
        {"zie http://a.nl/x?y=1&z=2#k nu", {{4, 23, "http://a.nl/x?y=1&z=2#k"}}},
        {"HTTPS://A.NL", {{0, 12, "HTTPS://A.NL"}}},
        {"mail mailto:jan@x.nl.", {{5, 15, "mailto:jan@x.nl"}}},
        {"www.zindle.nl, of www.b.nl!", {{0, 13, "http://www.zindle.nl"}, {18, 8, "http://www.b.nl"}}},
        // Punctuation after the address belongs to the sentence.
        {"(zie http://a.nl/b).", {{5, 13, "http://a.nl/b"}}},
        {"http://w.org/Foo_(bar), ja", {{0, 22, "http://w.org/Foo_(bar)"}}},
        {"\"http://a.nl\" en <http://b.nl>", {{1, 11, "http://a.nl"}, {18, 11, "http://b.nl"}}},
        {"Jan> http://a.nl?", {{5, 11, "http://a.nl"}}},
        {"http://a.nl\r\nwww.b.nl\r\n", {{0, 11, "http://a.nl"}, {13, 8, "http://www.b.nl"}}},
        // Not links: bare beginnings, glued to a word, other schemes.
        {"http:// en www. en mailto:", {}},
        {"xhttp://a.nl abc.www.b.nl", {}},
        {"ftp://a.nl file:///etc/passwd javascript:alert(1)", {}},
        {"<a href=\"x\">klik</a> &amp; <b>vet</b>", {}},
    };
    for (const LinkCase& c : cases) {
        std::vector<LinkSpan> expected;
        for (const LinkSpan& s : c.spans)
            expected.push_back(s);
        EXPECT_EQ(FindLinks(QString::fromLatin1(c.line)), expected) << c.line;
    }
}

} // namespace
