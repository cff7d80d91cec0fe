// SPDX-License-Identifier: GPL-3.0-or-later
// The login handshake, each refusal and the order of the checks, slot numbering:
// the exact bytes every slot receives.
#include "common/ZindleDivideCombine.h"
#include "common/ZindleEncrypt.h"
#include "tests/server/core/FakeCoreFixture.h"

using namespace testing_support;
using Ending = FakeTransport::Ending;
using Messages = std::vector<std::string>;

namespace {

class Login : public FakeCoreTest {
protected:
    void Restart() {
        core.StopServer();
        ASSERT_TRUE(core.StartServer(QStringLiteral("12345")));
    }
    std::string ScrambledField(const QString& password) {
        return ZindleDivideCombine::Escape(ZindleEncrypt::Encrypt(password.toStdString()));
    }
};

TEST_F(Login, HandshakeBytesInOrder) {
    core.setServerNaam(QStringLiteral("Kamer"));
    core.setMOTD(QStringLiteral("Welkom\r\nveel plezier"));
    const int anna = LoggedIn("anna");
    fake->Clear(anna);
    const int bob = Connect();
    Cack(bob, "bob");
    EXPECT_EQ(Got(bob), Messages{Command("SACK")});
    EXPECT_TRUE(Got(anna).empty()) << "not logged in before ACKD";
    SayCmd(bob, "ACKD");
    EXPECT_EQ(Got(bob),
              (Messages{Command("SACK"), Command("SINFKamer#0.2.0004"), Command("MOTDWelkom\r\nveel plezier"),
                        Command("USRL1#anna#0"), Command("USRL2#bob#0")}));
    EXPECT_EQ(Got(anna), Messages{Command("USRN2#bob#0")});
    EXPECT_EQ(core.UserListEntries(), (QStringList{"1#anna", "2#bob"}));
    EXPECT_EQ(core.User(bob).ClientVersion, "0.2 build #0013");
    EXPECT_TRUE(LogHas(" IN <- [2] * CACKbob##0.2 build \\#0013\r\n"));
    EXPECT_TRUE(LogHas("UIT -> [2] * SACK\r\n"));
    EXPECT_TRUE(LogHas("UIT -> [1] * USRN2#bob#0\r\n"));
    EXPECT_TRUE(LogHas("] STATUS [2] Inkomende verbinding (127.0.0.1:40001)"));
}

// Each refusal: the reason alone, then the close; the others hear "USRD" once.
TEST_F(Login, EachRefusalSendsOnlyItsReasonAndCloses) {
    core.setRoomPassword(QStringLiteral("geheim"));
    core.setDubbelIP(false);
    Restart();
    const std::string good = "#" + ScrambledField(QStringLiteral("geheim")) + "#";
    const int anna = Connect();
    SayCmd(anna, "CACKanna" + good + "0.2 build \\#0013");
    SayCmd(anna, "ACKD");
    ASSERT_TRUE(core.IsLoggedIn(anna));

    struct Refusal {
        const char* name;
        std::string login;
        std::string reply;
    };
    const std::vector<Refusal> cases{
        {"same nickname", "CACKanna" + good + "0.2 build \\#0013", "ERRONICK"},
        {"wrong password", "CACKbob#fout#0.2 build \\#0013", "ERROPASS"},
        {"no password typed", "CACKbob##0.2 build \\#0013", "ERROPASS"},
        {"old version", "CACKbob" + good + "0.1 build \\#0016", "ERROVERS"},
        {"fields missing", "CACKbob", "ERROPASS"},
        {"empty version", "CACKbob" + good, "ERROVERS"},
    };
    for (const Refusal& r : cases) {
        fake->Clear(anna);
        const int slot = Connect();
        SayCmd(slot, r.login);
        EXPECT_EQ(Got(slot), Messages{Command(r.reply)}) << r.name;
        EXPECT_EQ(fake->EndingOf(slot), Ending::Closed) << r.name;
        EXPECT_EQ(Got(anna), Messages{Command("USRD" + std::to_string(slot))}) << r.name;
        EXPECT_FALSE(core.IsInUse(slot)) << r.name;
    }
    // Case differs: a different nickname, and any version from 0.1 build #0017 on.
    const int anna2 = Connect();
    SayCmd(anna2, "CACKAnna" + good + "0.1 build \\#0017");
    EXPECT_EQ(Got(anna2), Messages{Command("SACK")});
}

TEST_F(Login, ChecksRunInTheirOrder) {
    const int anna = LoggedIn("anna");
    // Duplicate address decides before the nickname when both apply.
    core.setDubbelIP(true);
    const int twin = Connect();
    Cack(twin, "anna");
    EXPECT_EQ(Got(twin), Messages{Command("ERRODBIP")});
    core.setDubbelIP(false);

    // The ban list comes first of all, even with everything else wrong; a chat
    // line in the same arrival after the refused login is dropped.
    core.AddBan(QStringLiteral("127.0.0.1"));
    fake->Clear(anna);
    const int banned = Connect();
    fake->Arrive(banned, Framed(Command("CACKanna#x#0.0")) + Framed("gast> nooit gezien\\r\\n"));
    EXPECT_EQ(Got(banned), Messages{Command("ERROSBAN")});
    EXPECT_EQ(Got(anna), Messages{Command("USRD2")});
    // The refused slot 2 was taken again, and each connection was closed once.
    EXPECT_EQ(twin, banned);
    EXPECT_EQ(LogCount("STATUS [2] Verbinding gesloten"), 2u);
}

TEST_F(Login, DuplicateAddressCountsOnlyLoggedInUsers) {
    core.setDubbelIP(true);
    const int anna = Connect();
    const int bob = Connect();
    Cack(anna, "anna");
    Cack(bob, "bob");
    EXPECT_EQ(Got(bob), Messages{Command("SACK")}) << "anna has not sent ACKD yet";
    SayCmd(anna, "ACKD");
    ASSERT_TRUE(core.IsLoggedIn(anna));
    // A second CACK from a logged-in user is ignored: it does not meet itself.
    Cack(anna, "anna2");
    EXPECT_EQ(Got(anna).back(), Command("USRL1#anna#0"));
    EXPECT_EQ(fake->EndingOf(anna), Ending::Open);
}

TEST_F(Login, SlotNumbering) {
    const int first = Connect();
    const int second = Connect();
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 2);
    fake->PeerClose(first);
    EXPECT_EQ(Connect(), 3) << "a freed slot is reused only when the counter reaches it";
    EXPECT_FALSE(core.IsInUse(1));
    // The slot taken last, freed before the next request, is taken again.
    fake->PeerClose(3);
    EXPECT_EQ(Connect(), 3);

    // Stopping sends nothing, closes every connection, and starts numbering at 1 again.
    core.StopServer();
    EXPECT_EQ(core.ConnectionCount(), 0);
    EXPECT_EQ(fake->EndingOf(second), Ending::Closed);
    EXPECT_TRUE(Got(second).empty());
    EXPECT_TRUE(LogHas("STATUS [0] Server wordt gestopt...\r\n"));
    EXPECT_TRUE(LogHas("STATUS [0] Server is gestopt!\r\n"));
    EXPECT_FALSE(LogHas("STATUS [2] Verbinding gesloten"));
    ASSERT_TRUE(core.StartServer(QStringLiteral("12345")));
    EXPECT_EQ(Connect(), 1);
}

TEST_F(Login, ACloseBeforeTheLoginIsStillAnnounced) {
    const int anna = LoggedIn("anna");
    const int bob = Connect();
    fake->Clear(anna);
    fake->PeerClose(bob);
    EXPECT_EQ(Got(anna), Messages{Command("USRD2")});
    EXPECT_EQ(LogCount("STATUS [2] Verbinding gesloten\r\n"), 1u);
    EXPECT_EQ(core.UserListEntries(), QStringList{"1#anna"});
}

// Re-entry: the peer's close arrives while the server still hands over the
// reason of its refusal. The slot is released once and its arrival stops.
TEST_F(Login, ARefusedPeerThatClosesDuringTheReasonIsReleasedOnce) {
    const int anna = LoggedIn("anna");
    fake->Clear(anna);
    for (int i = 0; i < 3; ++i) {
        const std::size_t closedBefore = LogCount("] Verbinding gesloten");
        const int slot = Connect();
        WhenSentTo(slot, [&] { fake->PeerClose(slot); }); // the first bytes are the reason
        fake->Arrive(slot, Framed(Command("CACKanna##0.2 build \\#0013")) + Framed("slot> nooit gezien"));
        EXPECT_EQ(fake->EndingOf(slot), Ending::PeerClosed);
        EXPECT_EQ(Got(slot), Messages{Command("ERRONICK")});
        EXPECT_EQ(Got(anna), Messages{Command("USRD" + std::to_string(slot))});
        EXPECT_EQ(LogCount("] Verbinding gesloten"), closedBefore + 1);
        EXPECT_FALSE(LogHas("nooit gezien"));
        fake->Clear(anna);
    }
    EXPECT_EQ(core.ConnectionCount(), 1);
    Say(anna, "nog hier");
    EXPECT_EQ(Got(anna).back(), "nog hier");
}

// Re-entry during a login: someone listed goes while hearing of the newcomer,
// and a newcomer goes while the others hear of it.
TEST_F(Login, PeersThatGoWhileALoginIsAnnounced) {
    const int anna = LoggedIn("anna");
    const int bob = LoggedIn("bob");
    fake->Clear(bob);
    const int carl = Connect();
    Cack(carl, "carl");
    WhenSentTo(anna, [&] { fake->PeerClose(anna); });
    SayCmd(carl, "ACKD");
    // Carl's lists are one batch: anna's departure lands in it after her entry.
    EXPECT_EQ(Got(carl),
              (Messages{Command("SACK"), Command("SINF#0.2.0004"), Command("MOTD"), Command("USRL1#anna#0"),
                        Command("USRD1"), Command("USRL2#bob#0"), Command("USRL3#carl#0")}));
    EXPECT_EQ(Got(bob), (Messages{Command("USRD1"), Command("USRN3#carl#0")}));
    EXPECT_EQ(core.UserListEntries(), (QStringList{"2#bob", "3#carl"}));

    fake->Clear(bob);
    const int dirk = Connect();
    Cack(dirk, "dirk");
    WhenSentTo(bob, [&] { fake->PeerClose(dirk); });
    SayCmd(dirk, "ACKD");
    EXPECT_EQ(fake->EndingOf(dirk), Ending::PeerClosed);
    EXPECT_EQ(Got(dirk), Messages{Command("SACK")}) << "gone before its lists left";
    EXPECT_EQ(Got(bob), (Messages{Command("USRN4#dirk#0"), Command("USRD4")}));
    EXPECT_EQ(CountOf(carl, Command("USRD4")), 1u);
    EXPECT_EQ(core.UserListEntries(), (QStringList{"2#bob", "3#carl"}));
    EXPECT_EQ(LogCount("STATUS [4] Verbinding gesloten"), 1u);

    // The slot freed meanwhile is taken again at once: the new connection gets
    // nothing of the lists meant for the one before.
    const int eve = Connect();
    Cack(eve, "eve");
    int next = -1;
    WhenSentTo(bob, [&] {
        fake->PeerClose(eve);
        next = Connect();
    });
    SayCmd(eve, "ACKD");
    ASSERT_EQ(next, eve);
    EXPECT_TRUE(Got(next).empty());
    EXPECT_FALSE(core.IsLoggedIn(next));
    SayCmd(next, "AWAY");
    EXPECT_TRUE(Got(next).empty());
}

TEST_F(Login, StartFailuresLeaveTheServerStopped) {
    core.StopServer();
    QString error;
    for (const QString& bad :
         {QStringLiteral("abc"), QStringLiteral("0"), QStringLiteral("70000"), QString()}) {
        EXPECT_FALSE(core.StartServer(bad, &error)) << bad.toStdString();
        EXPECT_FALSE(error.isEmpty());
        EXPECT_FALSE(core.Listening());
    }
    fake->failListen = true;
    error.clear();
    EXPECT_FALSE(core.StartServer(QStringLiteral("12345"), &error));
    EXPECT_FALSE(core.Listening());
    EXPECT_FALSE(fake->isListening());
    EXPECT_TRUE(error.contains(QStringLiteral("Poort 12345 is al in gebruik.")));
    EXPECT_TRUE(LogHas("STATUS [0] Server kon niet worden gestart: "));
}

TEST_F(Login, ThePasswordIsScrambledAtStart) {
    core.setRoomPassword(QStringLiteral("Qv7#\\x"));
    const int early = Connect();
    SayCmd(early, "CACKanna#" + ScrambledField(QStringLiteral("Qv7#\\x")) + "#1.0 build \\#0000");
    EXPECT_EQ(Got(early), Messages{Command("ERROPASS")}) << "the running server keeps its password";
    Restart();
    const int later = Connect();
    SayCmd(later, "CACKanna#" + ScrambledField(QStringLiteral("Qv7#\\x")) + "#1.0 build \\#0000");
    EXPECT_EQ(Got(later), Messages{Command("SACK")});
}

} // namespace
