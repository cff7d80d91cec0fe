// SPDX-License-Identifier: GPL-3.0-or-later
// The session against a scripted server on 127.0.0.1 that plays the server's
// bytes: handshake, refusals, the session dispatch, private messages, file
// offers, away, split and oversized arrivals, the close handling.
#include "client/core/ClientSession.h"
#include "ScriptedServer.h"
#include "client/core/InputCommands.h"
#include "client/core/WireText.h"
#include "common/ZindleDivideCombine.h"
#include "common/ZindleEncrypt.h"
#include "net/Winsock.h"

#include <gtest/gtest.h>

using client::ClientSession;
using clienttest::Printable;
using clienttest::ScriptedServer;
using clienttest::WaitUntil;

namespace {

const QString kEnded = QStringLiteral("**VERBINDING BE\u00CBINDIGD**\r\n");
const QByteArray kCackGast = ScriptedServer::Command("CACKgast##0.2 build \\#0013");
const QByteArray kAckd = ScriptedServer::Command("ACKD");

QByteArray Packed(const std::vector<std::string>& fields) {
    return QByteArray::fromStdString(ZindleDivideCombine::Combine(fields));
}

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.listen());
        QObject::connect(&session, &ClientSession::sessionStarted, [this] {
            ++started;
            startedBeforeLogin =
                !session.Acknowledged() && session.state() == ClientSession::State::LoggingIn;
        });
        QObject::connect(&session, &ClientSession::loggedIn, [this] { ++loggedIn; });
        QObject::connect(&session, &ClientSession::output, [this](const QString& s) { lines << s; });
        QObject::connect(&session, &ClientSession::captionChanged, [this](const QString& s) { caption = s; });
        QObject::connect(&session, &ClientSession::awayChanged, [this](bool away) { awayStates << away; });
        QObject::connect(&session, &ClientSession::attentionRequested, [this] { ++attention; });
        QObject::connect(&session, &ClientSession::sessionClosed, [this] { ++closed; });
        // The window's list box, kept only from the signals.
        QObject::connect(&session, &ClientSession::userAdded, [this](int index, const QString& text, int id) {
            mirror.insert(index, {text, id});
        });
        QObject::connect(&session, &ClientSession::userChanged,
                         [this](int index, const QString& text) { mirror[index].first = text; });
        QObject::connect(&session, &ClientSession::userRemoved,
                         [this](int index) { mirror.removeAt(index); });
        QObject::connect(&session, &ClientSession::usersCleared, [this] { mirror.clear(); });
        QObject::connect(
            &session, &ClientSession::fileOffer,
            [this](int id, const QString& name, const QString& ip, const QString& port, const QString& user) {
                offers << QStringList{QString::number(id), name, ip, port, user};
            });
        session.setPrivateMessageHandler([this](int id, const QString& text) {
            privates << qMakePair(id, text);
            if (onPrivate)
                onPrivate();
            return privateSlotFree;
        });
    }

    void connectClient(const QString& nickname = QStringLiteral("gast"), const QString& password = {}) {
        session.setLocalNickname(nickname);
        session.setPassword(client::ScramblePassword(password));
        session.Winsock1()->setLocalPort(0);
        session.Winsock1()->connectToHost(QStringLiteral("127.0.0.1"), server.port());
        ASSERT_TRUE(server.waitForClient());
        ASSERT_TRUE(WaitUntil([this] { return started == 1; }));
    }

    void login() {
        connectClient();
        ASSERT_TRUE(server.expect(kCackGast)) << Printable(server.received());
        server.sendCommand("SACK");
        ASSERT_TRUE(server.expect(kAckd)) << Printable(server.received());
        ASSERT_EQ(session.state(), ClientSession::State::InSession);
    }

    // Everything sent before a marker chat line has been handled once it shows.
    void sync() {
        server.send(ScriptedServer::Line("marker"));
        ASSERT_TRUE(
            WaitUntil([this] { return !lines.isEmpty() && lines.last() == QStringLiteral("marker"); }));
        lines.removeLast();
    }

    QList<QPair<QString, int>> model() const {
        QList<QPair<QString, int>> out;
        for (const auto& e : session.users().entries())
            out << qMakePair(e.text, e.id);
        return out;
    }

    ScriptedServer server;
    ClientSession session;
    int started = 0, loggedIn = 0, attention = 0, closed = 0;
    bool startedBeforeLogin = false;
    QStringList lines;
    QString caption;
    QList<bool> awayStates;
    QList<QPair<QString, int>> mirror;
    QList<QStringList> offers;
    QList<QPair<int, QString>> privates;
    bool privateSlotFree = true;
    std::function<void()> onPrivate;
};

TEST_F(SessionTest, HandshakeSendsTheExactLoginThenAcknowledges) {
    login();
    EXPECT_TRUE(startedBeforeLogin);
    EXPECT_TRUE(session.Acknowledged());
    EXPECT_EQ(loggedIn, 1);
    EXPECT_TRUE(lines.isEmpty());
}

TEST_F(SessionTest, LoginPacksNicknameAndScrambledPassword) {
    // A password whose scrambled form holds "#" or "\" travels escaped.
    connectClient(QStringLiteral("Zo\u00EB"), QStringLiteral("geheim"));
    const std::string scrambled = ZindleEncrypt::Encrypt("geheim");
    const QByteArray expected =
        ScriptedServer::Command("CACK" + Packed({"Zo\xEB", scrambled, "0.2 build #0013"}));
    EXPECT_TRUE(server.expect(expected)) << Printable(server.received());
}

TEST_F(SessionTest, EveryRefusalShowsItsLineClosesAndDropsTheRest) {
    const std::vector<std::pair<QByteArray, QString>> refusals = {
        {"SBAN", QStringLiteral("**GEBANNED VAN DE SERVER**\r\n")},
        {"NICK", QStringLiteral("**NICKNAME BESTAAT AL OP DE SERVER OF IS NIET TOEGESTAAN**\r\n")},
        {"PASS", QStringLiteral("**WACHTWOORD FOUT**\r\n")},
        {"VERS", QStringLiteral("**TE LAGE VERSIE, U MOET DE CLIENT UPDATEN**\r\n")},
    };
    for (const auto& [reason, text] : refusals) {
        SCOPED_TRACE(reason.toStdString());
        ScriptedServer peer;
        ASSERT_TRUE(peer.listen());
        ClientSession s;
        QStringList shown;
        int ended = 0;
        QObject::connect(&s, &ClientSession::output, [&](const QString& l) { shown << l; });
        QObject::connect(&s, &ClientSession::sessionClosed, [&] { ++ended; });
        s.setLocalNickname(QStringLiteral("gast"));
        s.Winsock1()->connectToHost(QStringLiteral("127.0.0.1"), peer.port());
        ASSERT_TRUE(peer.waitForClient());
        ASSERT_TRUE(peer.expect(kCackGast));
        // A SACK in the same arrival must not log the refused client in.
        peer.send(ScriptedServer::Command("ERRO" + reason) + ScriptedServer::Command("SACK"));
        ASSERT_TRUE(WaitUntil([&] { return ended == 1; }));
        EXPECT_EQ(shown, (QStringList{text, kEnded}));
        EXPECT_FALSE(s.Acknowledged());
        EXPECT_EQ(s.state(), ClientSession::State::Closed);
        EXPECT_TRUE(WaitUntil([&] { return peer.clientGone(); }));
        EXPECT_TRUE(peer.received().isEmpty()) << Printable(peer.received());
    }
}

TEST_F(SessionTest, DuplicateAddressAndUnknownReasonsShowNothingUntilTheServerCloses) {
    connectClient();
    ASSERT_TRUE(server.expect(kCackGast));
    server.sendCommand("ERRODBIP");
    server.sendCommand("ERROXYZW");
    QTest::qWait(150);
    EXPECT_TRUE(lines.isEmpty());
    EXPECT_EQ(session.state(), ClientSession::State::LoggingIn);
    EXPECT_FALSE(session.Acknowledged());

    server.closeClient();
    ASSERT_TRUE(WaitUntil([this] { return closed == 1; }));
    EXPECT_EQ(lines, QStringList{kEnded});
}

TEST_F(SessionTest, StrayFirstMessageIsAnsweredWithWrongProtocol) {
    connectClient();
    ASSERT_TRUE(server.expect(kCackGast));
    server.send(ScriptedServer::Line("hallo") + ScriptedServer::Command("SACK"));
    ASSERT_TRUE(WaitUntil([this] { return closed == 1; }));
    EXPECT_TRUE(server.expect(QByteArray("Wrong protocol", 15))) << Printable(server.received());
    EXPECT_TRUE(WaitUntil([this] { return server.clientGone(); }));
    EXPECT_EQ(lines, QStringList{kEnded});
    EXPECT_EQ(loggedIn, 0);
    EXPECT_TRUE(server.received().isEmpty()); // no ACKD for the dropped SACK
}

TEST_F(SessionTest, MessagesAfterSackInTheSameArrivalGoToTheSessionDispatch) {
    connectClient();
    ASSERT_TRUE(server.expect(kCackGast));
    server.send(ScriptedServer::Command("SACK") +
                ScriptedServer::Command("SINF" + Packed({"Lobby", "0.2.0004"})) +
                ScriptedServer::Command("USRL3#gast#0"));
    ASSERT_TRUE(server.expect(kAckd));
    ASSERT_TRUE(WaitUntil([this] { return session.users().count() == 1; }));
    EXPECT_EQ(caption, QStringLiteral("ZindleChat - [gast] [Lobby] [v0.2.0004]"));
    EXPECT_EQ(model(), (QList<QPair<QString, int>>{{"gast", 3}}));
}

TEST_F(SessionTest, SessionDispatchOfEveryCode) {
    login();
    server.sendCommand("SINF" + Packed({"Kamer #1", "0.2.0004"}));
    server.sendCommand("USRL3#gast#0");
    server.sendCommand("USRL5#Piet#1");
    server.sendCommand("USRL4#Jan#7"); // any non-zero flag is away
    sync();
    EXPECT_EQ(caption, QStringLiteral("ZindleChat - [gast] [Kamer #1] [v0.2.0004]"));
    EXPECT_TRUE(lines.isEmpty());
    EXPECT_EQ(model(), (QList<QPair<QString, int>>{{"gast", 3}, {"Away|Piet", 5}, {"Away|Jan", 4}}));

    server.sendCommand("USRN7#Klaas#1");
    server.sendCommand("USRC5#Piet#0");
    server.sendCommand("USRC42#Niemand#1"); // unknown id: no change
    server.sendCommand("USRD99");           // unknown id: no line, no removal
    server.sendCommand("USRD4");
    server.sendCommand("FERRVerzoek niet aangekomen#4000");
    server.sendCommand("QQQQwhatever");
    sync();
    EXPECT_EQ(lines, (QStringList{QStringLiteral("* Away|Klaas is de chatserver binnengekomen...\r\n"),
                                  QStringLiteral("* Away|Jan heeft de chatserver verlaten...\r\n")}));
    EXPECT_EQ(model(), (QList<QPair<QString, int>>{{"gast", 3}, {"Piet", 5}, {"Away|Klaas", 7}}));
    EXPECT_EQ(mirror, model());
    lines.clear();
    attention = 0;

    // The message of the day is shown exactly as sent.
    server.sendCommand("MOTDWelkom #1 in C:\\chat\r\nregel\\n2");
    server.send(ScriptedServer::Line("gast> hallo\\r\\n"));
    server.send(ScriptedServer::Line("* Piet zwaait\\r\\n"));
    sync();
    EXPECT_EQ(lines, (QStringList{QStringLiteral("Message of the Day:\r\n---\r\nWelkom #1 in C:\\chat\r\n"
                                                 "regel\\n2\r\n---\r\n"),
                                  QStringLiteral("gast> hallo\r\n"), QStringLiteral("* Piet zwaait\r\n")}));
    EXPECT_EQ(attention, 3); // the two lines and the marker
}

TEST_F(SessionTest, EmptyMotdAndDuplicateIdsFollowTheListRules) {
    login();
    server.sendCommand("MOTD");
    server.sendCommand("USRL4#a#0");
    server.sendCommand("USRL4#b#0");
    server.sendCommand("USRC4#c#1"); // every entry with the id changes
    server.sendCommand("USRD4");     // both announced, only the last removed
    sync();
    EXPECT_EQ(lines, (QStringList{QStringLiteral("Message of the Day:\r\n---\r\n\r\n---\r\n"),
                                  QStringLiteral("* Away|c heeft de chatserver verlaten...\r\n"),
                                  QStringLiteral("* Away|c heeft de chatserver verlaten...\r\n")}));
    EXPECT_EQ(model(), (QList<QPair<QString, int>>{{"Away|c", 4}}));
    EXPECT_EQ(mirror, model());
}

TEST_F(SessionTest, PrivateMessagesAndTheFullTableStoppingTheArrival) {
    login();
    server.sendCommand("USRL5#Piet#0");
    server.sendCommand("PRIV" + Packed({"5", "hoi #1\r\n"}));
    server.sendCommand("PRIV" + Packed({"x", "geen id"})); // unusable: ignored
    sync();
    EXPECT_EQ(privates, (QList<QPair<int, QString>>{{5, QStringLiteral("hoi #1\r\n")}}));

    // No slot free: the USRD behind the PRIV in the same arrival is not handled.
    privateSlotFree = false;
    server.send(ScriptedServer::Command("PRIV" + Packed({"5", "nog een\r\n"})) +
                ScriptedServer::Command("USRD5"));
    ASSERT_TRUE(WaitUntil([this] { return privates.size() == 2; }));
    privateSlotFree = true;
    sync(); // the next arrival is handled again
    EXPECT_TRUE(lines.isEmpty());
    EXPECT_EQ(model(), (QList<QPair<QString, int>>{{"Piet", 5}}));
}

TEST_F(SessionTest, AnArrivalDuringAHandlersEventLoopWaitsItsTurn) {
    login();
    // The handler runs the event loop (as a message box does) while more data
    // and then the close arrive.
    onPrivate = [this] {
        onPrivate = nullptr;
        server.sendCommand("USRL8#Later#0");
        QTest::qWait(150);
    };
    server.send(ScriptedServer::Command("PRIV" + Packed({"5", "hoi\r\n"})) +
                ScriptedServer::Command("USRL6#Eerst#0"));
    ASSERT_TRUE(WaitUntil([this] { return session.users().count() == 2; }));
    EXPECT_EQ(model(), (QList<QPair<QString, int>>{{"Eerst", 6}, {"Later", 8}}));

    onPrivate = [this] {
        onPrivate = nullptr;
        server.closeClient();
        QTest::qWait(150);
    };
    server.send(ScriptedServer::Command("PRIV" + Packed({"5", "hoi\r\n"})) +
                ScriptedServer::Command("USRL9#Nooit#0"));
    ASSERT_TRUE(WaitUntil([this] { return closed == 1; }));
    QTest::qWait(50);
    EXPECT_EQ(session.users().count(), 0);
    EXPECT_TRUE(mirror.isEmpty());
    EXPECT_EQ(lines, QStringList{kEnded});
}

TEST_F(SessionTest, FileOffersNameTheSenderWithoutTheAwayPrefix) {
    login();
    server.sendCommand("USRL5#Piet#1");
    server.sendCommand("FILE" + Packed({"5", "foto #2.jpg", "10.0.0.7", "4321"}));
    server.sendCommand("FILE" + Packed({"9", "a.txt", "10.0.0.8", "1000"}));
    server.sendCommand("FILE" + Packed({"5", "kapot"})); // too few fields: ignored
    sync();
    ASSERT_EQ(offers.size(), 2);
    EXPECT_EQ(offers[0], (QStringList{"5", "foto #2.jpg", "10.0.0.7", "4321", "Piet"}));
    EXPECT_EQ(offers[1], (QStringList{"9", "a.txt", "10.0.0.8", "1000", ""}));
}

TEST_F(SessionTest, AwayTogglesCaptionAndAttentionAndSendsAway) {
    login();
    server.sendCommand("SINF" + Packed({"Lobby", "0.2.0004"}));
    sync();
    attention = 0;
    const QString base = QStringLiteral("ZindleChat - [gast] [Lobby] [v0.2.0004]");

    session.SetAway();
    EXPECT_TRUE(session.Away());
    EXPECT_EQ(caption, QStringLiteral("AWAY - ") + base);
    EXPECT_TRUE(server.expect(ScriptedServer::Command("AWAY")));
    sync();
    EXPECT_EQ(attention, 0); // no flashing while away

    // A room-name change while away drops the prefix until the next toggle.
    server.sendCommand("SINF" + Packed({"Lobby", "0.2.0004"}));
    sync();
    EXPECT_EQ(caption, base);
    session.SetAway();
    EXPECT_EQ(caption, base);
    session.SetAway();
    session.SetAway();
    EXPECT_EQ(caption, base);
    EXPECT_EQ(awayStates, (QList<bool>{true, false, true, false}));
    EXPECT_TRUE(server.expect(ScriptedServer::Command("AWAY") + ScriptedServer::Command("AWAY") +
                              ScriptedServer::Command("AWAY")));
}

TEST_F(SessionTest, CloseHandlingEmptiesTheListAndLaterSendsDoNothing) {
    login();
    server.sendCommand("USRL3#gast#0");
    sync();
    server.closeClient();
    ASSERT_TRUE(WaitUntil([this] { return closed == 1; }));
    EXPECT_EQ(lines, QStringList{kEnded});
    EXPECT_EQ(session.users().count(), 0);
    EXPECT_TRUE(mirror.isEmpty());
    EXPECT_EQ(session.state(), ClientSession::State::Closed);

    // The away button and a private window during the countdown.
    session.SendData("PRIV3#hoi", true);
    session.SetAway();
    EXPECT_TRUE(session.Away());
    QTest::qWait(50);
    EXPECT_EQ(closed, 1);
}

TEST_F(SessionTest, DisconnectCommandClosesFromOurSide) {
    login();
    session.Winsock1_Close();
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(lines, QStringList{kEnded});
    EXPECT_TRUE(WaitUntil([this] { return server.clientGone(); }));
    QTest::qWait(50);
    EXPECT_EQ(closed, 1); // our own close raises no second close handling
}

TEST_F(SessionTest, SplitMessagesWaitForTheirNul) {
    login();
    const QByteArray sinf = ScriptedServer::Command("SINF" + Packed({"Lobby", "0.2.0004"}));
    server.send(sinf.left(1)); // even the 0xFF 0xFF prefix may be cut
    QTest::qWait(50);
    server.send(sinf.mid(1, 8));
    QTest::qWait(50);
    EXPECT_TRUE(caption.isEmpty() || !caption.contains(QStringLiteral("Lobby")));
    server.send(sinf.mid(9) + QByteArray("hal"));
    QTest::qWait(50);
    server.send(ScriptedServer::Line("lo"));
    ASSERT_TRUE(WaitUntil([this] { return !lines.isEmpty(); }));
    EXPECT_EQ(caption, QStringLiteral("ZindleChat - [gast] [Lobby] [v0.2.0004]"));
    EXPECT_EQ(lines, QStringList{QStringLiteral("hallo")});
}

TEST_F(SessionTest, AnEndlessMessageClosesTheSession) {
    login();
    server.send(QByteArray(70 * 1024, 'x'));
    ASSERT_TRUE(WaitUntil([this] { return closed == 1; }));
    EXPECT_EQ(lines, (QStringList{QStringLiteral("**ONGELDIGE GEGEVENS VAN DE SERVER**\r\n"), kEnded}));
    EXPECT_TRUE(WaitUntil([this] { return server.clientGone(); }));
}

// 64 KiB is the most a message may hold, whether it comes in one piece or in
// many: the verdict must not depend on where TCP cut the stream.
TEST_F(SessionTest, MessageCapDoesNotDependOnHowTheStreamIsCut) {
    login();
    const QByteArray atCap(64 * 1024, 'a');
    server.send(atCap.left(40000));
    QTest::qWait(30);
    server.send(atCap.mid(40000) + '\0');
    ASSERT_TRUE(WaitUntil([this] { return lines.size() == 1; }));
    EXPECT_EQ(lines[0].size(), atCap.size());

    // 70 KB ended in the same write that carries it all.
    server.send(ScriptedServer::Line("voor") + ScriptedServer::Line(QByteArray(70 * 1000, 'x')) +
                ScriptedServer::Line("na"));
    ASSERT_TRUE(WaitUntil([this] { return closed == 1; }));
    EXPECT_EQ(lines.mid(1),
              (QStringList{QStringLiteral("voor"), QStringLiteral("**ONGELDIGE GEGEVENS VAN DE SERVER**\r\n"),
                           kEnded}));
    EXPECT_TRUE(WaitUntil([this] { return server.clientGone(); }));
}

// A reverse lookup would tell the resolver whom the user talks to: the session's
// socket never starts one, though one asked for on the same address succeeds.
TEST_F(SessionTest, NoReverseLookupOfTheServer) {
    login();
    net::Winsock reference;
    reference.setPeerNameLookup(true);
    reference.connectToHost(QStringLiteral("127.0.0.1"), server.port());
    if (!WaitUntil([&] { return !reference.remoteHost().isEmpty(); }, 5000))
        GTEST_SKIP() << "127.0.0.1 has no name here";
    EXPECT_EQ(session.Winsock1()->remoteHostIP(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(session.Winsock1()->remoteHost(), QString());
}

TEST_F(SessionTest, TypedTextTravelsAsLatin1WithoutNul) {
    login();
    const QString typed = QStringLiteral("caf\u00E9 \u20AC5 \U0001F600!");
    // With UTF-8 switched off, as before: what Latin-1 cannot hold is one "?".
    client::SetUnicode(false);
    const client::InputCommand line = client::PublicInput(typed, session.LocalNickname());
    client::SetUnicode(true);
    session.SendData(line.strData, line.SpecialPacket);
    EXPECT_TRUE(server.expect(QByteArray("gast> caf\xE9 ?5 ?!\\r\\n") + '\0'))
        << Printable(server.received());
    // With it on the line goes as UTF-8, and comes back as it was typed.
    const client::InputCommand utf8 = client::PublicInput(typed, session.LocalNickname());
    session.SendData(utf8.strData, utf8.SpecialPacket);
    EXPECT_TRUE(server.expect(QByteArray("gast> caf\xC3\xA9 \xE2\x82\xAC"
                                         "5 \xF0\x9F\x98\x80!\\r\\n") +
                              '\0'))
        << Printable(server.received());
    server.send(QByteArray("piet> caf\xC3\xA9 \xE2\x82\xAC"
                           "5") +
                '\0');
    sync();
    EXPECT_EQ(lines.last(), QStringLiteral("piet> caf\u00E9 \u20AC5"));
    session.SendData(std::string("a\0b", 3), false);
    EXPECT_TRUE(server.expect(QByteArray("ab\0", 3))) << Printable(server.received());
}

} // namespace
