// SPDX-License-Identifier: GPL-3.0-or-later
// The login handshake, each refusal and the order of the checks, slot numbering.
#include "common/ZindleDivideCombine.h"
#include "common/ZindleEncrypt.h"
#include "tests/server/core/CoreFixture.h"

using namespace testing_support;

namespace {

class LoginTest : public CoreTest {};

TEST_F(LoginTest, HandshakeBytesInOrder) {
    core.setServerNaam(QStringLiteral("Kamer"));
    core.setMOTD(QStringLiteral("Welkom\r\nveel plezier"));
    RawClient& a = LoggedInClient("anna");
    RawClient& b = NewClient();
    b.SendCmd("CACKbob##0.2 build \\#0013");
    ASSERT_TRUE(b.WaitForMessage(Cmd("SACK")));
    EXPECT_FALSE(a.HasPrefix(Cmd("USRN"))) << "not logged in before ACKD";
    b.SendCmd("ACKD");
    ASSERT_TRUE(b.WaitForCount(5));
    std::vector<Bytes> got;
    for (auto& m : b.Messages())
        got.push_back({m});
    const std::vector<Bytes> want{{Cmd("SACK")},
                                  {Cmd("SINFKamer#0.2.0004")},
                                  {Cmd("MOTDWelkom\r\nveel plezier")},
                                  {Cmd("USRL1#anna#0")},
                                  {Cmd("USRL2#bob#0")}};
    EXPECT_EQ(got, want);
    ASSERT_TRUE(a.WaitForMessage(Cmd("USRN2#bob#0")));
    EXPECT_EQ(core.UserListEntries(), (QStringList{"1#anna", "2#bob"}));
    EXPECT_EQ(core.User(2).ClientVersion, "0.2 build #0013");
    EXPECT_TRUE(LogHas(" IN <- [2] * CACKbob##0.2 build \\#0013\r\n"));
    EXPECT_TRUE(LogHas("UIT -> [2] * SACK\r\n"));
    EXPECT_TRUE(LogHas("UIT -> [1] * USRN2#bob#0\r\n"));
    EXPECT_TRUE(LogHas("] STATUS [2] Inkomende verbinding (127.0.0.1:"));
}

// Each refusal: the reason, then the close; the others hear "USRD".
struct Refusal {
    const char* name;
    std::string login;
    std::string reply;
};

TEST_F(LoginTest, EachRefusalSendsReasonAndCloses) {
    core.setRoomPassword(QStringLiteral("geheim"));
    core.StopServer();
    core.setDubbelIP(false);
    Start();
    const std::string pw = ZindleEncrypt::Encrypt("geheim");
    RawClient& first = NewClient();
    first.SendCmd("CACKanna#" + ZindleDivideCombine::Escape(pw) + "#0.2 build \\#0013");
    ASSERT_TRUE(first.WaitForMessage(Cmd("SACK")));
    first.SendCmd("ACKD");
    ASSERT_TRUE(first.WaitForCount(4));

    const std::string good = "#" + ZindleDivideCombine::Escape(pw) + "#";
    const std::vector<Refusal> cases{
        {"same nickname", "CACKanna" + good + "0.2 build \\#0013", "ERRONICK"},
        {"wrong password", "CACKbob#fout#0.2 build \\#0013", "ERROPASS"},
        {"no password typed", "CACKbob##0.2 build \\#0013", "ERROPASS"},
        {"old version", "CACKbob" + good + "0.1 build \\#0016", "ERROVERS"},
        {"fields missing", "CACKbob", "ERROPASS"},
        {"empty version", "CACKbob" + good, "ERROVERS"},
    };
    for (const Refusal& r : cases) {
        first.Clear();
        RawClient& c = NewClient();
        const int slot = core.AutoCount();
        c.SendCmd(r.login);
        EXPECT_TRUE(c.WaitForClose()) << r.name;
        ASSERT_FALSE(c.Messages().empty()) << r.name;
        EXPECT_EQ(Bytes{c.Messages().front()}, Bytes{Cmd(r.reply)}) << r.name;
        EXPECT_TRUE(first.WaitForMessage(Cmd("USRD" + std::to_string(slot)))) << r.name;
        EXPECT_EQ(first.Count(Cmd("USRD" + std::to_string(slot))), 1u) << r.name;
        EXPECT_FALSE(core.IsInUse(slot)) << r.name;
    }
    // Case differs: a different nickname.
    RawClient& anna2 = NewClient();
    anna2.SendCmd("CACKAnna" + good + "0.1 build \\#0017");
    EXPECT_TRUE(anna2.WaitForMessage(Cmd("SACK")));
}

TEST_F(LoginTest, ChecksRunInTheirOrder) {
    RawClient& a = LoggedInClient("anna");
    (void)a;
    // Duplicate address decides before the nickname when both apply.
    core.setDubbelIP(true);
    RawClient& b = NewClient();
    b.SendCmd("CACKanna##0.2 build \\#0013");
    ASSERT_TRUE(b.WaitForClose());
    EXPECT_EQ(Bytes{b.Messages().at(0)}, Bytes{Cmd("ERRODBIP")});
    core.setDubbelIP(false);

    // The ban list comes first of all, even with everything else wrong.
    core.AddBan(QStringLiteral("127.0.0.1"));
    RawClient& c = NewClient();
    // One arrival: the chat line after the refused login is dropped.
    c.SendRaw(Cmd("CACKanna#x#0.0") + '\0' + "gast> nooit gezien\\r\\n" + '\0');
    ASSERT_TRUE(c.WaitForClose());
    EXPECT_EQ(Bytes{c.Messages().at(0)}, Bytes{Cmd("ERROSBAN")});
    Settle();
    EXPECT_EQ(a.Count("gast> nooit gezien\\r\\n"), 0u);
    // The refused slot 2 was taken again, and each connection was closed once.
    EXPECT_EQ(LogCount("STATUS [2] Verbinding gesloten"), 2u);
}

TEST_F(LoginTest, DuplicateAddressOnlyAgainstLoggedInUsers) {
    core.setDubbelIP(true);
    RawClient& a = NewClient();
    RawClient& b = NewClient();
    a.SendCmd("CACKanna##0.2 build \\#0013");
    b.SendCmd("CACKbob##0.2 build \\#0013");
    EXPECT_TRUE(a.WaitForMessage(Cmd("SACK")));
    EXPECT_TRUE(b.WaitForMessage(Cmd("SACK"))) << "anna has not sent ACKD yet";
    a.SendCmd("ACKD");
    ASSERT_TRUE(a.WaitForMessage(Cmd("USRL1#anna#0")));
    // A second CACK from a logged-in user meets itself.
    a.SendCmd("CACKanna2##0.2 build \\#0013");
    EXPECT_TRUE(a.WaitForClose());
    EXPECT_EQ(Bytes{a.Messages().back()}, Bytes{Cmd("ERRODBIP")});
}

TEST_F(LoginTest, SlotNumbering) {
    RawClient& c1 = NewClient();
    RawClient& c2 = NewClient();
    EXPECT_TRUE(core.IsInUse(1));
    EXPECT_TRUE(core.IsInUse(2));
    c1.Abort();
    ASSERT_TRUE(WaitFor([&] { return !core.IsInUse(1); }));
    NewClient();
    EXPECT_TRUE(core.IsInUse(3)) << "a freed slot is reused only when the counter reaches it";
    EXPECT_FALSE(core.IsInUse(1));
    // The slot taken last, freed before the next request, is taken again.
    clients.back()->Abort();
    ASSERT_TRUE(WaitFor([&] { return !core.IsInUse(3); }));
    NewClient();
    EXPECT_TRUE(core.IsInUse(3));
    (void)c2;

    // Stopping sends nothing and starts numbering at 1 again.
    core.StopServer();
    EXPECT_EQ(core.ConnectionCount(), 0);
    EXPECT_TRUE(LogHas("STATUS [0] Server wordt gestopt...\r\n"));
    EXPECT_TRUE(LogHas("STATUS [0] Server is gestopt!\r\n"));
    EXPECT_FALSE(LogHas("STATUS [2] Verbinding gesloten"));
    EXPECT_TRUE(c2.WaitForClose());
    EXPECT_TRUE(c2.Messages().empty());
    Start();
    NewClient();
    EXPECT_TRUE(core.IsInUse(1));
}

TEST_F(LoginTest, NeverLoggedInCloseStillAnnounced) {
    RawClient& a = LoggedInClient("anna");
    RawClient& b = NewClient();
    b.Abort();
    EXPECT_TRUE(a.WaitForMessage(Cmd("USRD2")));
    EXPECT_TRUE(WaitFor([&] { return LogHas("STATUS [2] Verbinding gesloten\r\n"); }));
    EXPECT_EQ(core.UserListEntries(), QStringList{"1#anna"});
}

TEST_F(LoginTest, StartFailuresLeaveTheServerStopped) {
    core.StopServer();
    QString error;
    for (const QString& bad :
         {QStringLiteral("abc"), QStringLiteral("0"), QStringLiteral("70000"), QString()}) {
        EXPECT_FALSE(core.StartServer(bad, &error)) << bad.toStdString();
        EXPECT_FALSE(error.isEmpty());
        EXPECT_FALSE(core.Listening());
    }
    QTcpServer occupier;
    ASSERT_TRUE(occupier.listen(QHostAddress::AnyIPv4, 0));
    error.clear();
    EXPECT_FALSE(core.StartServer(QString::number(occupier.serverPort()), &error));
    EXPECT_FALSE(core.Listening());
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(LogHas("STATUS [0] Server kon niet worden gestart: "));
}

TEST_F(LoginTest, PasswordScrambledAtStart) {
    core.StopServer();
    core.setRoomPassword(QStringLiteral("Qv7#\\x"));
    Start();
    RawClient& c = NewClient();
    c.SendCmd("CACKanna#" + ZindleDivideCombine::Escape(ZindleEncrypt::Encrypt("Qv7#\\x")) +
              "#1.0 build \\#0000");
    EXPECT_TRUE(c.WaitForMessage(Cmd("SACK")));
}

} // namespace
