// SPDX-License-Identifier: GPL-3.0-or-later
// Pure pieces of the client: typed lines, the command line, the private-chat
// table, wire text, stored colours and captions.
#include "client/core/ChatColors.h"
#include "client/core/CommandLine.h"
#include "client/core/InputCommands.h"
#include "client/core/PrivateChats.h"
#include "client/core/SessionCaption.h"
#include "client/core/UserList.h"
#include "client/core/WireText.h"
#include "net/SettingsStore.h"

#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

using namespace client;
using Kind = InputCommand::Kind;

namespace {

TEST(PublicInput, TypedLinesBecomeEscapedChatLines) {
    const QString jan = QStringLiteral("Jan");
    struct Case {
        const char* input;
        Kind kind;
        std::string wire;
    };
    const Case cases[] = {
        {"hallo", Kind::Send, "Jan> hallo\\r\\n"},
        {"  hallo  ", Kind::Send, "Jan>   hallo  \\r\\n"}, // sent as typed
        {"a#b\\c", Kind::Send, "Jan> a\\#b\\\\c\\r\\n"},
        {"/me zwaait", Kind::Send, "* Jan zwaait\\r\\n"},
        {"  /ME  zwaait  ", Kind::Send, "* Jan  zwaait\\r\\n"}, // trimmed, case-blind
        {"/me", Kind::Nothing, ""},                             // no blank after "me"
        {"/away", Kind::SetAway, ""},
        {"/AWAYxyz", Kind::SetAway, ""},
        {"/aw", Kind::Nothing, ""},
        {"/help", Kind::Nothing, ""},
        {"x /me", Kind::Send, "Jan> x /me\\r\\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        const InputCommand command = PublicInput(QString::fromUtf8(c.input), jan);
        EXPECT_EQ(command.kind, c.kind);
        EXPECT_EQ(command.strData, c.wire);
        EXPECT_FALSE(command.SpecialPacket);
        EXPECT_TRUE(command.echo.isEmpty());
    }
}

TEST(PrivateInput, TypedLinesBecomePrivAndTheOwnCopy) {
    const QString jan = QStringLiteral("Jan");
    const InputCommand plain = PrivateInput(QStringLiteral("  hoi #2  "), jan, QStringLiteral("7"));
    EXPECT_EQ(plain.kind, Kind::Send);
    EXPECT_TRUE(plain.SpecialPacket);
    EXPECT_EQ(plain.strData, "PRIV7#  hoi \\#2  \\r\\n");
    EXPECT_EQ(plain.echo, QStringLiteral("Jan>   hoi #2  \r\n"));

    // The action keeps its "/me " on the wire; the partner's client adds the name.
    const InputCommand action = PrivateInput(QStringLiteral("/me waves"), jan, QStringLiteral("7"));
    EXPECT_EQ(action.strData, "PRIV7#/me waves\\r\\n");
    EXPECT_EQ(action.echo, QStringLiteral("* Jan waves\r\n"));

    EXPECT_EQ(PrivateInput(QStringLiteral("/Away"), jan, QStringLiteral("7")).kind, Kind::SetAway);
    EXPECT_EQ(PrivateInput(QStringLiteral("/quit"), jan, QStringLiteral("7")).kind, Kind::Nothing);

    // Without UTF-8, what cannot travel is shown as it travelled.
    SetUnicode(false);
    const InputCommand euro = PrivateInput(QStringLiteral("\u20AC1"), jan, QStringLiteral("7"));
    SetUnicode(true);
    EXPECT_EQ(euro.strData, "PRIV7#?1\\r\\n");
    EXPECT_EQ(euro.echo, QStringLiteral("Jan> ?1\r\n"));
    const InputCommand utf8 = PrivateInput(QStringLiteral("\u20AC1"), jan, QStringLiteral("7"));
    EXPECT_EQ(utf8.strData, "PRIV7#\xE2\x82\xAC"
                            "1\\r\\n");
    EXPECT_EQ(utf8.echo, QStringLiteral("Jan> \u20AC1\r\n"));
}

TEST(PrivateInput, IncomingLines) {
    const QString piet = QStringLiteral("Piet");
    EXPECT_EQ(IncomingPrivateLine(piet, QStringLiteral("/me waves\r\n")), QStringLiteral("* Piet waves\r\n"));
    EXPECT_EQ(IncomingPrivateLine(piet, QStringLiteral("/ME waves\r\n")),
              QStringLiteral("Piet> /ME waves\r\n"));
    EXPECT_EQ(IncomingPrivateLine(QString(), QStringLiteral("hoi\r\n")), QStringLiteral("> hoi\r\n"));
}

TEST(WireText, OneQuestionMarkPerMissingCharacterAndNoNul) {
    EXPECT_EQ(ToWire(QStringLiteral("caf\u00E9\u00FF")), std::string("caf\xE9\xFF"));
    EXPECT_EQ(ToWire(QStringLiteral("\u20AC \U0001F600 x")), "? ? x"); // emoji: one "?"
    EXPECT_EQ(ToWire(QString(QChar(0xD800)) + u'a'), "?a");            // lone surrogate
    EXPECT_EQ(ToWire(QString::fromUtf16(u"a\0b", 3)), "ab");
    EXPECT_EQ(FromWire(std::string("\xE9\xFF", 2)), QStringLiteral("\u00E9\u00FF"));
    EXPECT_EQ(WireSafe(QStringLiteral("Zo\u00EB\u20AC")), QStringLiteral("Zo\u00EB?"));
    EXPECT_EQ(ScramblePassword(QString()), "");
}

TEST(CommandLine, Examples) {
    struct Case {
        const char* args;
        CommandLine::Kind kind;
        const char* host;
        const char* port;
        const char* password;
        bool hasPassword;
    };
    using K = CommandLine::Kind;
    const Case cases[] = {
        {"", K::Empty, "", "", "", false},
        {"   ", K::Empty, "", "", "", false},
        {"127.0.0.1:4000", K::Connect, "127.0.0.1", "4000", "", false},
        {"127.0.0.1", K::Connect, "127.0.0.1", "12345", "", false},
        {"chat.example.nl: geheim", K::Connect, "chat.example.nl", "12345", "geheim", true},
        {"host:4000 geheim extra", K::Connect, "host", "4000", "geheim", true},
        {"host:4000  geheim", K::Connect, "host", "4000", "", true}, // two spaces: empty password
        {"host:4000:9 pw", K::Connect, "host", "4000", "pw", true},
        {"mail-host.nl:4000", K::Help, "", "", "", false}, // "-h" inside a host name counts too
        {"host:4000 pw/hx", K::Help, "", "", "", false},
        {"host:4000 pw/x", K::Connect, "host", "4000", "pw/x", true},
        {"/?", K::Help, "", "", "", false},
        {"host:4000 /h", K::Help, "", "", "", false},
        {"-h", K::Help, "", "", "", false},
        {"host --help", K::Help, "", "", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const CommandLine line = ParseCommandLine(QString::fromUtf8(c.args));
        EXPECT_EQ(line.kind, c.kind);
        EXPECT_EQ(line.host, QString::fromUtf8(c.host));
        EXPECT_EQ(line.port, QString::fromUtf8(c.port));
        EXPECT_EQ(line.password, QString::fromUtf8(c.password));
        EXPECT_EQ(line.hasPassword, c.hasPassword);
    }
}

// "--plain" is a word of its own anywhere; the rest reads as without it.
TEST(CommandLine, PlainSwitchIsTakenOutWhereverItStands) {
    using K = CommandLine::Kind;
    const CommandLine alone = ParseCommandLine(QStringLiteral("--plain"));
    EXPECT_TRUE(alone.plain);
    EXPECT_EQ(alone.kind, K::Empty);
    for (const char* args :
         {"--plain host:4000  geheim", "host:4000  geheim --plain", "host:4000 --plain  geheim"}) {
        SCOPED_TRACE(args);
        const CommandLine line = ParseCommandLine(QString::fromUtf8(args));
        EXPECT_TRUE(line.plain);
        EXPECT_EQ(line.kind, K::Connect);
        EXPECT_EQ(line.host, QStringLiteral("host"));
        EXPECT_EQ(line.port, QStringLiteral("4000"));
        EXPECT_EQ(line.password, QString()); // the two spaces still make an empty password
        EXPECT_TRUE(line.hasPassword);
    }
    EXPECT_EQ(ParseCommandLine(QStringLiteral("--plain --help")).kind, K::Help);
    // Only the whole word: a password that merely contains it stays a password.
    const CommandLine word = ParseCommandLine(QStringLiteral("host x--plain"));
    EXPECT_FALSE(word.plain);
    EXPECT_EQ(word.password, QStringLiteral("x--plain"));
    EXPECT_FALSE(ParseCommandLine(QStringLiteral("host:4000 geheim")).plain);
}

// "--help" typed in a terminal must answer there; into a pipe or file nothing goes.
TEST(CommandLine, SyntaxIsEchoedOnlyToATerminal) {
    int master = -1, slave = -1;
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    EXPECT_TRUE(client::EchoSyntaxToTerminal(slave));
    char buffer[256] = {};
    std::string got;
    while (got.find('\n') == std::string::npos) {
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        ASSERT_GT(n, 0);
        got.append(buffer, std::size_t(n));
    }
    // The terminal turns the line feed into CR LF on its way out.
    EXPECT_EQ(got, "Syntaxis: ZINDLECHAT.EXE [server[:port] [password]]\r\n");
    ::close(master);
    ::close(slave);

    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    EXPECT_FALSE(client::EchoSyntaxToTerminal(pipeEnds[1]));
    ::close(pipeEnds[1]);
    EXPECT_EQ(::read(pipeEnds[0], buffer, sizeof buffer), 0);
    ::close(pipeEnds[0]);
}

TEST(PrivateChats, FindAllocateReleaseAndTheLimit) {
    PrivateChats chats;
    for (int id = 1; id <= PrivateChats::kSlots; ++id)
        ASSERT_EQ(chats.allocate(id + 100, QString::number(id)), id); // lowest free slot each time
    EXPECT_EQ(chats.allocate(999, QStringLiteral("te veel")), 0);
    EXPECT_EQ(chats.find(999), 0);
    EXPECT_EQ(chats.find(150), 50);
    EXPECT_EQ(chats.slot(50).Nickname, QStringLiteral("50"));

    chats.release(150);
    EXPECT_EQ(chats.find(150), 0);
    EXPECT_EQ(chats.slot(50).Nickname, QString());
    EXPECT_EQ(chats.allocate(999, QStringLiteral("Piet")), 50); // the freed slot is taken
    EXPECT_EQ(chats.heldCount(), PrivateChats::kSlots);

    chats.releaseAll();
    EXPECT_EQ(chats.heldCount(), 0);
    EXPECT_EQ(chats.allocate(5, QString()), 1);
    EXPECT_EQ(PrivateCaption(QString()), QStringLiteral(" - ZindleChat"));
}

TEST(UserList, NicknamesWithoutTheAwayPrefix) {
    UserList users;
    users.add(UserList::EntryText(QStringLiteral("Piet"), true), 5);
    users.add(QStringLiteral("Away"), 6); // a user named "Away" keeps its name
    EXPECT_EQ(users.at(0).text, QStringLiteral("Away|Piet"));
    EXPECT_EQ(users.nicknameOf(5), QStringLiteral("Piet"));
    EXPECT_EQ(users.nicknameOf(6), QStringLiteral("Away"));
    EXPECT_EQ(users.nicknameOf(7), QString());
}

TEST(SessionCaption, AwayPrefix) {
    const QString caption =
        SessionCaption(QStringLiteral("Jan"), QStringLiteral("Lobby"), QStringLiteral("0.2.0004"));
    EXPECT_EQ(caption, QStringLiteral("ZindleChat - [Jan] [Lobby] [v0.2.0004]"));
    EXPECT_EQ(ApplyAwayPrefix(caption, true), QStringLiteral("AWAY - ") + caption);
    EXPECT_EQ(ApplyAwayPrefix(ApplyAwayPrefix(caption, true), false), caption);
    EXPECT_EQ(ApplyAwayPrefix(caption, false), caption);
}

TEST(ChatColors, StoredTextsAndRoundTrip) {
    EXPECT_EQ(ParseColorSetting(QStringLiteral("35071")), 35071);
    EXPECT_EQ(ParseColorSetting(QStringLiteral("  255abc")), 255);
    EXPECT_EQ(ParseColorSetting(QStringLiteral("12.5")), 12); // halves to even
    EXPECT_EQ(ParseColorSetting(QStringLiteral("13.5")), 14);
    EXPECT_EQ(ParseColorSetting(QStringLiteral("rood")), 0);
    EXPECT_EQ(ParseColorSetting(QString()), 0);
    EXPECT_EQ(ColorFromInt(35071), QColor(255, 136, 0));
    EXPECT_EQ(ColorToInt(QColor(136, 0, 136)), 8913032);

    EXPECT_EQ(LoadColors(), ChatColors{}); // nothing stored: the defaults
    ChatColors changed;
    changed.Action = 0x010203;
    changed.Background = 0;
    SaveColors(changed);
    EXPECT_EQ(LoadColors(), changed);
    net::SaveSetting(QStringLiteral("ZindleChat"), QStringLiteral("Colors"), QStringLiteral("Text"),
                     QStringLiteral("geen getal"));
    EXPECT_EQ(LoadColors().Text, 0);
}

} // namespace
