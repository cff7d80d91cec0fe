// SPDX-License-Identifier: GPL-3.0-or-later
// Chat text on the wire: Latin-1 when it fits, UTF-8 otherwise, and the reading
// rule for what arrives, with the switch on and off.
#include "client/core/WireText.h"
#include "client/core/InputCommands.h"

#include <gtest/gtest.h>

namespace {

using namespace client;

std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values)
        out.push_back(char(v));
    return out;
}

class WireTextTest : public ::testing::Test {
protected:
    void TearDown() override { SetUnicode(true); }
};

TEST_F(WireTextTest, OutgoingIsLatin1WhenItFitsAndUtf8Otherwise) {
    struct Row {
        QString text;
        std::string bytes;
    };
    const Row rows[] = {
        {QStringLiteral("hallo"), "hallo"},
        {QStringLiteral("caf\u00E9 \u00FF\u00A0"), Bytes({'c', 'a', 'f', 0xE9, ' ', 0xFF, 0xA0})},
        {QStringLiteral("5 euro (5\u20AC)"), "5 euro (5\xE2\x82\xAC)"},
        {QStringLiteral("\U0001F600 caf\u00E9"), "\xF0\x9F\x98\x80 caf\xC3\xA9"},
        {QString(QChar(0)) + QStringLiteral("\u20AC"), "\xE2\x82\xAC"}, // NUL never travels
    };
    for (const Row& row : rows)
        EXPECT_EQ(EncodeText(row.text), row.bytes) << row.text.toStdString();

    SetUnicode(false);
    EXPECT_EQ(EncodeText(QStringLiteral("5\u20AC \U0001F600 caf\u00E9")),
              Bytes({'5', '?', ' ', '?', ' ', 'c', 'a', 'f', 0xE9}));
}

TEST_F(WireTextTest, IncomingIsUtf8OnlyWhenValidWithAMultiByteSequence) {
    struct Row {
        std::string bytes;
        QString text;
    };
    const Row rows[] = {
        {"plain ascii", QStringLiteral("plain ascii")},
        {Bytes({'c', 'a', 'f', 0xE9}), QStringLiteral("caf\u00E9")},        // Latin-1 peer
        {"caf\xC3\xA9 5\xE2\x82\xAC", QStringLiteral("caf\u00E9 5\u20AC")}, // UTF-8 peer
        {"\xF0\x9F\x98\x80", QStringLiteral("\U0001F600")},
        {"\xC3\xA9\xE9", QStringLiteral("\u00C3\u00A9\u00E9")},           // one bad byte: all Latin-1
        {"\xC0\xAF", QStringLiteral("\u00C0\u00AF")},                     // over-long
        {"\xED\xA0\x80", QStringLiteral("\u00ED\u00A0\u0080")},           // surrogate
        {"\xF4\x90\x80\x80", QStringLiteral("\u00F4\u0090\u0080\u0080")}, // past U+10FFFF
        {"\xE2\x82", QStringLiteral("\u00E2\u0082")},                     // cut short
    };
    for (const Row& row : rows)
        EXPECT_EQ(DecodeText(row.bytes), row.text) << row.bytes;

    SetUnicode(false);
    EXPECT_EQ(DecodeText("caf\xC3\xA9"), QStringLiteral("caf\u00C3\u00A9"));
}

TEST_F(WireTextTest, ChatLinesAndPrivateMessagesCarryEveryCharacterButNicknamesStayLatin1) {
    const InputCommand line = PublicInput(QStringLiteral("5\u20AC \U0001F600"), QStringLiteral("piet"));
    // (The line end travels escaped, as backslash and letter.)
    EXPECT_EQ(line.strData, "piet> 5\xE2\x82\xAC \xF0\x9F\x98\x80\\r\\n");
    // A nickname goes as typed where a text fits Latin-1 ...
    EXPECT_EQ(PublicInput(QStringLiteral("caf\u00E9"), QStringLiteral("J\u00E9")).strData,
              Bytes({'J', 0xE9, '>', ' ', 'c', 'a', 'f', 0xE9, '\\', 'r', '\\', 'n'}));
    // ... and as the peers will read it: the whole line is one text.
    EXPECT_EQ(DecodeText(PublicInput(QStringLiteral("\u20AC"), QStringLiteral("J\u00E9")).strData),
              QStringLiteral("J\u00E9> \u20AC\\r\\n"));
    EXPECT_EQ(WireSafe(QStringLiteral("J\u20AC")), QStringLiteral("J?"));

    EXPECT_TRUE(UnsendableRuns(QStringLiteral("a\u20AC\U0001F600b")).empty());
    SetUnicode(false);
    EXPECT_EQ(PublicInput(QStringLiteral("5\u20AC"), QStringLiteral("piet")).strData, "piet> 5?\\r\\n");
    const auto runs = UnsendableRuns(QStringLiteral("a\u20AC\U0001F600b\u0100"));
    EXPECT_EQ(runs, (std::vector<std::pair<qsizetype, qsizetype>>{{1, 3}, {5, 1}}));
}

} // namespace
