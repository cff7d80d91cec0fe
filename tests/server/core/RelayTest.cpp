// SPDX-License-Identifier: GPL-3.0-or-later
// Relays of chat lines, private messages, away changes and file offers; log lines
// and the ChatLog switch; split and malformed input.
#include "tests/server/core/FakeCoreFixture.h"

using namespace testing_support;
using namespace std::string_literals;
using Ending = FakeTransport::Ending;
using Messages = std::vector<std::string>;

namespace {

class Relay : public FakeCoreTest {
protected:
    void ClearAll(std::initializer_list<int> which) {
        for (int s : which)
            fake->Clear(s);
    }
};

TEST_F(Relay, AChatLineReachesEveryLoggedInUserSenderIncluded) {
    const int anna = LoggedIn("anna");
    const int bob = LoggedIn("bob");
    const int stranger = Connect(); // connected, never logged in
    ClearAll({anna, bob, stranger});
    const std::string line = "anna> hallo \\#1\\r\\n";
    Say(anna, line);
    EXPECT_EQ(Got(anna), Messages{line});
    EXPECT_EQ(Got(bob), Messages{line});
    EXPECT_TRUE(LogHas("CHAT - [1] anna> hallo \\#1\\r\\n\r\n"));
    // A line from a connection that never logged in goes nowhere, not even the log.
    Say(stranger, "Wrong protocol");
    EXPECT_FALSE(LogHas("Wrong protocol"));
    // Two messages in one arrival are handled in order.
    fake->Arrive(anna, "een\0twee\0"s);
    EXPECT_EQ(Got(bob), (Messages{line, "een", "twee"}));
    EXPECT_EQ(Got(anna), (Messages{line, "een", "twee"}));
    EXPECT_TRUE(Got(stranger).empty());
}

TEST_F(Relay, TheChatLogSwitchCoversChatAndPrivOnly) {
    core.setChatLog(false);
    const int anna = LoggedIn("anna");
    const int bob = LoggedIn("bob");
    ClearAll({anna, bob});
    Say(anna, "stil");
    SayCmd(anna, "PRIV2#geheim\\r\\n");
    EXPECT_EQ(Got(bob), (Messages{"stil", Command("PRIV1#geheim\\r\\n")}));
    EXPECT_FALSE(LogHas("stil"));
    EXPECT_FALSE(LogHas("PRIV"));
    EXPECT_TRUE(LogHas(" IN <- [2] * ACKD\r\n")) << "other commands are still logged";
    core.setChatLog(true);
    Say(anna, "luid");
    EXPECT_TRUE(LogHas("CHAT - [1] luid\r\n"));
    SayCmd(anna, "PRIV2#open");
    EXPECT_EQ(Got(bob).back(), Command("PRIV1#open"));
    EXPECT_TRUE(LogHas(" IN <- [1] * PRIV2#open\r\n"));
    EXPECT_TRUE(LogHas("UIT -> [2] * PRIV1#open\r\n"));
}

TEST_F(Relay, PrivateMessagesReachOnlyTheirRecipient) {
    const int anna = LoggedIn("anna");
    const int bob = LoggedIn("bob");
    const int pending = Connect(); // slot 3, not logged in: unreachable
    const int carl = LoggedIn("carl");
    ClearAll({anna, bob, pending, carl});
    // Two in one arrival: each relay carries only its own text.
    fake->Arrive(anna, Framed(Command("PRIV2#een\\#x")) + Framed(Command("PRIV4#twee")));
    EXPECT_EQ(Got(bob), Messages{Command("PRIV1#een\\#x")});
    EXPECT_EQ(Got(carl), Messages{Command("PRIV1#twee")});
    // To oneself: nothing at all. Then the undeliverable and malformed ones.
    SayCmd(anna, "PRIV1#mezelf");
    EXPECT_TRUE(Got(anna).empty());
    for (const char* bad : {"PRIV9#weg", "PRIV0#luisteraar", "PRIVx#geen nummer", "PRIV40000#te hoog",
                            "PRIV2", "PRIV", "PRIV3#niet ingelogd"})
        SayCmd(anna, bad);
    EXPECT_EQ(Got(anna), Messages(7, "Private message niet aangekomen"));
    EXPECT_TRUE(Got(pending).empty());
    EXPECT_EQ(Got(bob), Messages{Command("PRIV1#een\\#x")});
    EXPECT_EQ(Got(carl), Messages{Command("PRIV1#twee")});
}

TEST_F(Relay, AwayTogglesAndEveryoneHearsIt) {
    const int anna = LoggedIn("anna");
    const int bob = LoggedIn("bob");
    ClearAll({anna, bob});
    SayCmd(bob, "AWAYwat dan ook");
    SayCmd(bob, "AWAY");
    const Messages want{Command("USRC2#bob#1"), Command("USRC2#bob#0")};
    EXPECT_EQ(Got(anna), want);
    EXPECT_EQ(Got(bob), want);
}

TEST_F(Relay, FileOffersCarryTheSendersAddress) {
    const int anna = LoggedIn("anna");
    const int bob = LoggedIn("bob", QStringLiteral("127.0.0.2"));
    const int pending = Connect();
    ClearAll({anna, bob});
    fake->Arrive(anna, Framed(Command("FILE2#foto.jpg#4321")) + Framed(Command("FILE2#lied.mp3#4322")));
    EXPECT_EQ(Got(bob),
              (Messages{Command("FILE1#foto.jpg#127.0.0.1#4321"), Command("FILE1#lied.mp3#127.0.0.1#4322")}));
    SayCmd(bob, "FILE1#terug.txt#4400");
    EXPECT_EQ(Got(anna), Messages{Command("FILE2#terug.txt#127.0.0.2#4400")});
    fake->Clear(anna);
    SayCmd(anna, "FILE1#zelf.txt#5000");
    // Not logged in, no such slot, malformed: "FERR".
    SayCmd(anna, "FILE3#x.txt#6000");
    SayCmd(anna, "FILEabc#x.txt#6001");
    SayCmd(anna, "FILE2");
    EXPECT_EQ(
        Got(anna),
        (Messages{Command("FILE1#zelf.txt#127.0.0.1#5000"), Command("FERRVerzoek niet aangekomen#6000"),
                  Command("FERRVerzoek niet aangekomen#6001"), Command("FERRVerzoek niet aangekomen#")}));
    EXPECT_TRUE(Got(pending).empty());
}

TEST_F(Relay, SplitMessagesAreJoined) {
    const int anna = LoggedIn("anna");
    const int bob = LoggedIn("bob");
    fake->Clear(bob);
    fake->Arrive(anna, "anna> in twee ");
    EXPECT_TRUE(Got(bob).empty());
    fake->Arrive(anna, "stukken"s + '\0' + "\xFF");
    EXPECT_EQ(Got(bob), Messages{"anna> in twee stukken"});
    fake->Arrive(anna, "\xFF"
                       "AWAY"s +
                           '\0');
    EXPECT_EQ(Got(bob).back(), Command("USRC1#anna#1"));
    EXPECT_TRUE(core.IsInUse(anna));
}

TEST_F(Relay, MalformedInputLeavesTheOthersChatting) {
    const int anna = LoggedIn("anna");
    const int bob = LoggedIn("bob");
    const int bad = LoggedIn("stoorzender");
    ClearAll({anna, bob});
    const Messages junk{Command(""),
                        Command("AC"),
                        Command("XXXXjunk"),
                        "\xFF"s,
                        Command("ACKD") + "extra",
                        Command("USRDbla"),
                        std::string("\xFF\xFE", 2)};
    for (const auto& j : junk) {
        Say(bad, j);
        Say(anna, "nog steeds");
    }
    // What does not start with the two 0xFF bytes is a chat line like any other.
    Messages want;
    for (const auto& j : junk) {
        if (j.rfind("\xFF\xFF", 0) != 0)
            want.push_back(j);
        want.push_back("nog steeds");
    }
    EXPECT_EQ(Got(bob), want);
    EXPECT_EQ(fake->EndingOf(bad), Ending::Open);
    // A second "CACK", however malformed, is ignored: its sender stays who it was.
    Say(bad, Command("CACK"));
    EXPECT_EQ(fake->EndingOf(bad), Ending::Open);
    EXPECT_EQ(core.User(bad).Nickname, "stoorzender");
    EXPECT_TRUE(core.IsLoggedIn(anna));
    EXPECT_TRUE(core.IsLoggedIn(bob));
    Say(anna, "daarna");
    EXPECT_EQ(Got(bob).back(), "daarna");
}

TEST_F(Relay, ASecondAckdDoesNotListTwice) {
    const int anna = LoggedIn("anna");
    const int bob = LoggedIn("bob");
    ClearAll({anna, bob});
    SayCmd(bob, "ACKD"); // ignored: bob is logged in already
    Say(bob, "bob> nog hier");
    EXPECT_EQ(Got(anna), Messages{"bob> nog hier"});
    EXPECT_EQ(Got(bob), Messages{"bob> nog hier"});
    EXPECT_EQ(core.UserListEntries(), (QStringList{"1#anna", "2#bob"}));
}

// Re-entry: one recipient goes while the line is handed out, another arrives
// from inside the relay. Everyone listed when it began still gets it once.
TEST_F(Relay, PeersThatComeAndGoDuringARelay) {
    const int anna = LoggedIn("anna");
    const int bob = LoggedIn("bob");
    const int carl = LoggedIn("carl");
    ClearAll({anna, carl});
    int late = -1;
    WhenSentTo(anna, [&] {
        fake->PeerClose(bob);
        late = Connect();
        Say(carl, "carl> tussendoor");
    });
    Say(anna, "anna> hoi");
    EXPECT_EQ(Got(anna), (Messages{"anna> hoi", Command("USRD2"), "carl> tussendoor"}));
    EXPECT_EQ(Got(carl), (Messages{Command("USRD2"), "carl> tussendoor", "anna> hoi"}));
    EXPECT_TRUE(Got(late).empty());
    EXPECT_EQ(core.UserListEntries(), (QStringList{"1#anna", "3#carl"}));
}

} // namespace
