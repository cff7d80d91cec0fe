// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/ZindleMessages.h"

#include "common/ZindleEncrypt.h"
#include "common/ZindleFraming.h"
#include "common/ZindleVersion.h"

#include <gtest/gtest.h>

using namespace ZindleMessages;
using namespace std::string_literals;
using ZindleWire::Frame;

TEST(Messages, HandshakeBytes) {
    EXPECT_EQ(Frame(kAckd, true), "\xFF\xFF"
                                  "ACKD\0"s);
    EXPECT_EQ(Frame(BuildCack("gast", "", ZindleVersion::ClientVersionText()), true),
              "\xFF\xFF"
              "CACKgast##0.2 build \\#0013\0"s);
    EXPECT_EQ(Frame(BuildErro(kReasonPassword), true), "\xFF\xFF"
                                                       "ERROPASS\0"s);
    EXPECT_EQ(Frame(BuildUserEntry(kUsrl, 3, "gast", false), true), "\xFF\xFF"
                                                                    "USRL3#gast#0\0"s);
    EXPECT_EQ(BuildUserEntry(kUsrc, 12, "Piet", true), "USRC12#Piet#1");
    EXPECT_EQ(BuildUsrd(7), "USRD7");
}

TEST(Messages, ServerToClientBuilders) {
    EXPECT_EQ(BuildSinf("Kamer #1", "0.2.0004"), "SINFKamer \\#1#0.2.0004");
    EXPECT_EQ(BuildMotd("a#b\\c\r\nd"), "MOTDa#b\\c\r\nd"); // raw: not packed
    EXPECT_EQ(BuildMotd(""), "MOTD");
    EXPECT_EQ(BuildPriv(4, "hoi\r\n"), "PRIV4#hoi\\r\\n");
    EXPECT_EQ(BuildFileRelay(2, "a#b.txt", "127.0.0.1", "4000"), "FILE2#a\\#b.txt#127.0.0.1#4000");
    EXPECT_EQ(BuildFerr("4000"), "FERRVerzoek niet aangekomen#4000");
    EXPECT_EQ(BuildFileOffer(5, "my#file.txt", "4000"), "FILE5#my#file.txt#4000"); // plain list
}

TEST(Messages, ClassifiesCommandsAndChatLines) {
    const Message cmd = Classify("\xFF\xFF"
                                 "USRL3#gast#0");
    EXPECT_EQ(cmd.kind, Kind::Command);
    EXPECT_EQ(cmd.code, "USRL");
    EXPECT_EQ(cmd.payload, "3#gast#0");
    EXPECT_EQ(cmd.body, "USRL3#gast#0");
    const Message chat = Classify("gast> hallo\\r\\n");
    EXPECT_EQ(chat.kind, Kind::Chat);
    EXPECT_EQ(chat.payload, "gast> hallo\\r\\n");
    const Message tiny = Classify("\xFF\xFF"
                                  "AC");
    EXPECT_EQ(tiny.kind, Kind::Command);
    EXPECT_EQ(tiny.code, "AC");
    EXPECT_EQ(tiny.payload, "");
    EXPECT_EQ(Classify("\xFF").kind, Kind::Chat);
    EXPECT_EQ(Classify("").kind, Kind::Chat);
}

TEST(Messages, ParsersReadEveryFieldAndToleratePiecesMissing) {
    const Cack c = ParseCack("gast#" + ZindleEncrypt::Encrypt("a#b") + "#0.2 build \\#0013");
    EXPECT_EQ(c.nickname, "gast");
    EXPECT_EQ(c.versionText, "0.2 build #0013");
    const Cack shortCack = ParseCack("alleen");
    EXPECT_EQ(shortCack.nickname, "alleen");
    EXPECT_EQ(shortCack.scrambledPassword, "");
    EXPECT_EQ(shortCack.versionText, "");

    const PrivMessage p = ParsePriv("12#hoi\\r\\n");
    EXPECT_EQ(p.slot, 12);
    EXPECT_EQ(p.text, "hoi\r\n");
    EXPECT_TRUE(p.complete);
    EXPECT_FALSE(ParsePriv("12").complete);

    const FileOffer o = ParseFileOffer("3#foto.jpg#40000");
    EXPECT_EQ(o.recipient, 3);
    EXPECT_EQ(o.fileName, "foto.jpg");
    EXPECT_EQ(o.port, "40000");
    EXPECT_TRUE(o.complete);

    const FileRelay r = ParseFileRelay("2#a\\#b.txt#127.0.0.1#4000");
    EXPECT_EQ(r.sender, 2);
    EXPECT_EQ(r.fileName, "a#b.txt");
    EXPECT_EQ(r.senderIp, "127.0.0.1");
    EXPECT_EQ(r.port, "4000");

    const UserEntry u = ParseUserEntry("3#Piet#1");
    EXPECT_EQ(u.id, 3);
    EXPECT_EQ(u.nickname, "Piet");
    EXPECT_TRUE(u.away);
    EXPECT_TRUE(ParseUserEntry("3#Piet#2").away);
    EXPECT_FALSE(ParseUserEntry("3#Piet#0").away);
    EXPECT_FALSE(ParseUserEntry("3#Piet").away);

    const ServerInfo s = ParseSinf("Kamer \\#1#0.2.0004");
    EXPECT_EQ(s.roomName, "Kamer #1");
    EXPECT_EQ(s.serverVersion, "0.2.0004");
    EXPECT_EQ(ParseUsrd("9"), 9);
    EXPECT_EQ(ParseUsrd(""), std::nullopt);
}

TEST(Messages, SlotNumbersAreCheckedStrictly) {
    EXPECT_EQ(ParseSlotNumber("0"), 0);
    EXPECT_EQ(ParseSlotNumber("32766"), 32766);
    EXPECT_EQ(ParseSlotNumber(" 5 "), 5);
    for (const char* bad : {"", "32767", "-1", "+3", "abc", "3x", "99999999999999999999", "1 2"})
        EXPECT_EQ(ParseSlotNumber(bad), std::nullopt) << bad;
    EXPECT_EQ(ParseUserId("-5"), -5);
    EXPECT_EQ(ParseUserId("40000"), std::nullopt);
}
