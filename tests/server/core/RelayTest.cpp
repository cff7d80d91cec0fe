// SPDX-License-Identifier: GPL-3.0-or-later
// Relays of chat lines, private messages, away changes and file offers; log lines
// and the ChatLog switch; split and malformed input.
#include "tests/server/core/CoreFixture.h"

using namespace testing_support;
using namespace std::string_literals;

namespace {

class RelayTest : public CoreTest {};

TEST_F(RelayTest, ChatLineReachesEveryoneSenderIncluded) {
    RawClient& a = LoggedInClient("anna");
    RawClient& b = LoggedInClient("bob");
    RawClient& stranger = NewClient(); // connected, never logged in
    const std::string line = "anna> hallo \\#1\\r\\n";
    a.Send(line);
    EXPECT_TRUE(a.WaitForMessage(line));
    EXPECT_TRUE(b.WaitForMessage(line));
    EXPECT_TRUE(LogHas("CHAT - [1] anna> hallo \\#1\\r\\n\r\n"));
    // A line from a connection that never logged in is logged but goes nowhere.
    stranger.Send("Wrong protocol");
    EXPECT_TRUE(WaitFor([&] { return LogHas("CHAT - [3] Wrong protocol"); }));
    // Two messages in one arrival are handled in order.
    a.SendRaw("een\0twee\0"s);
    ASSERT_TRUE(b.WaitForMessage("twee"));
    const auto& m = b.Messages();
    EXPECT_EQ(m[m.size() - 2], "een");
    EXPECT_EQ(a.Count("Wrong protocol") + b.Count("Wrong protocol") + stranger.Count("Wrong protocol"), 0u);
}

TEST_F(RelayTest, ChatLogSwitchCoversChatAndPrivOnly) {
    core.setChatLog(false);
    RawClient& a = LoggedInClient("anna");
    RawClient& b = LoggedInClient("bob");
    a.Send("stil");
    a.SendCmd("PRIV2#geheim\\r\\n");
    ASSERT_TRUE(b.WaitForMessage(Cmd("PRIV1#geheim\\r\\n")));
    ASSERT_TRUE(a.WaitForMessage("stil"));
    EXPECT_FALSE(LogHas("stil"));
    EXPECT_FALSE(LogHas("PRIV"));
    EXPECT_TRUE(LogHas(" IN <- [2] * ACKD\r\n")) << "other commands are still logged";
    core.setChatLog(true);
    a.Send("luid");
    ASSERT_TRUE(b.WaitForMessage("luid"));
    EXPECT_TRUE(LogHas("CHAT - [1] luid\r\n"));
    a.SendCmd("PRIV2#open");
    ASSERT_TRUE(b.WaitForMessage(Cmd("PRIV1#open")));
    EXPECT_TRUE(LogHas(" IN <- [1] * PRIV2#open\r\n"));
    EXPECT_TRUE(LogHas("UIT -> [2] * PRIV1#open\r\n"));
}

TEST_F(RelayTest, PrivateMessages) {
    RawClient& a = LoggedInClient("anna");
    RawClient& b = LoggedInClient("bob");
    RawClient& pending = NewClient(); // slot 3, not logged in: unreachable
    RawClient& c = LoggedInClient("carl");
    a.Clear();
    // Two in one arrival: each relay carries only its own text.
    a.SendRaw(Cmd("PRIV2#een\\#x") + '\0' + Cmd("PRIV4#twee") + '\0');
    EXPECT_TRUE(b.WaitForMessage(Cmd("PRIV1#een\\#x")));
    EXPECT_TRUE(c.WaitForMessage(Cmd("PRIV1#twee")));
    // To oneself: nothing at all. Then the undeliverable and malformed ones.
    a.SendCmd("PRIV1#mezelf");
    for (const char* bad : {"PRIV9#weg", "PRIV0#luisteraar", "PRIVx#geen nummer", "PRIV40000#te hoog", "PRIV2",
                            "PRIV", "PRIV3#niet ingelogd"})
        a.SendCmd(bad);
    ASSERT_TRUE(WaitFor([&] { return a.Count("Private message niet aangekomen") == 7; }));
    Settle();
    EXPECT_EQ(a.Count("Private message niet aangekomen"), 7u);
    EXPECT_TRUE(pending.Messages().empty());
    // His login lists and carl's arrival, nothing more.
    EXPECT_EQ(b.Messages().size(), b.Count(Cmd("PRIV1#een\\#x")) + 6u) << "bob got nothing more";
}

TEST_F(RelayTest, AwayToggles) {
    RawClient& a = LoggedInClient("anna");
    RawClient& b = LoggedInClient("bob");
    b.SendCmd("AWAYwat dan ook");
    b.SendCmd("AWAY");
    ASSERT_TRUE(a.WaitForMessage(Cmd("USRC2#bob#0")));
    EXPECT_TRUE(b.WaitForMessage(Cmd("USRC2#bob#0")));
    std::vector<std::string> seen;
    for (auto& m : a.Messages())
        if (m.rfind(Cmd("USRC"), 0) == 0)
            seen.push_back(m);
    EXPECT_EQ(seen, (std::vector<std::string>{Cmd("USRC2#bob#1"), Cmd("USRC2#bob#0")}));
}

TEST_F(RelayTest, FileOffers) {
    RawClient& a = LoggedInClient("anna");
    RawClient& b = LoggedInClient("bob");
    RawClient& pending = NewClient();
    a.SendRaw(Cmd("FILE2#foto.jpg#4321") + '\0' + Cmd("FILE2#lied.mp3#4322") + '\0');
    EXPECT_TRUE(b.WaitForMessage(Cmd("FILE1#foto.jpg#127.0.0.1#4321")));
    EXPECT_TRUE(b.WaitForMessage(Cmd("FILE1#lied.mp3#127.0.0.1#4322")));
    a.SendCmd("FILE1#zelf.txt#5000");
    EXPECT_TRUE(a.WaitForMessage(Cmd("FILE1#zelf.txt#127.0.0.1#5000")));
    // Not logged in, no such slot, malformed: "FERR".
    a.SendCmd("FILE3#x.txt#6000");
    EXPECT_TRUE(a.WaitForMessage(Cmd("FERRVerzoek niet aangekomen#6000")));
    a.SendCmd("FILEabc#x.txt#6001");
    EXPECT_TRUE(a.WaitForMessage(Cmd("FERRVerzoek niet aangekomen#6001")));
    a.SendCmd("FILE2");
    EXPECT_TRUE(a.WaitForMessage(Cmd("FERRVerzoek niet aangekomen#")));
    Settle();
    EXPECT_TRUE(pending.Messages().empty());
}

TEST_F(RelayTest, SplitMessagesAreJoined) {
    RawClient& a = LoggedInClient("anna");
    RawClient& b = LoggedInClient("bob");
    a.SendRaw("anna> in twee ");
    Settle(100);
    EXPECT_EQ(b.Count("anna> in twee stukken"), 0u);
    a.SendRaw("stukken"s + '\0' + "\xFF");
    ASSERT_TRUE(b.WaitForMessage("anna> in twee stukken"));
    a.SendRaw("\xFF"
              "AWAY"s +
              '\0');
    EXPECT_TRUE(b.WaitForMessage(Cmd("USRC1#anna#1")));
    EXPECT_TRUE(core.IsInUse(1));
}

TEST_F(RelayTest, MalformedInputLeavesOthersChatting) {
    RawClient& a = LoggedInClient("anna");
    RawClient& b = LoggedInClient("bob");
    RawClient& bad = LoggedInClient("stoorzender");
    const std::vector<std::string> junk{Cmd(""),         Cmd("AC"),
                                        Cmd("XXXXjunk"), Cmd("CACK"),
                                        "\xFF"s,         Cmd("ACKD") + "extra",
                                        Cmd("USRDbla"),  std::string("\xFF\xFE", 2)};
    for (const auto& j : junk) {
        bad.Send(j);
        a.Send("nog steeds");
    }
    ASSERT_TRUE(WaitFor([&] { return b.Count("nog steeds") == junk.size(); }));
    // The "CACK" with no fields was refused and closed; nobody else was touched.
    EXPECT_TRUE(bad.WaitForClose());
    EXPECT_TRUE(core.IsInUse(1));
    EXPECT_TRUE(core.IsInUse(2));
    a.Send("daarna");
    EXPECT_TRUE(b.WaitForMessage("daarna"));
}

TEST_F(RelayTest, SecondAckdDoesNotListTwice) {
    RawClient& a = LoggedInClient("anna");
    RawClient& b = LoggedInClient("bob");
    b.SendCmd("ACKD"); // ignored: bob is logged in already
    b.Send("bob> nog hier");
    ASSERT_TRUE(a.WaitForMessage("bob> nog hier"));
    EXPECT_EQ(b.Count(Cmd("USRL2#bob#0")), 1u);
    EXPECT_EQ(a.Count(Cmd("USRN2#bob#0")), 1u);
    EXPECT_EQ(core.UserListEntries(), (QStringList{"1#anna", "2#bob"}));
    b.Abort();
    ASSERT_TRUE(a.WaitForMessage(Cmd("USRD2")));
    EXPECT_EQ(core.UserListEntries(), QStringList{"1#anna"});
}

} // namespace
