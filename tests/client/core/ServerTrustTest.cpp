// SPDX-License-Identifier: GPL-3.0-or-later
// Encrypted sessions against TLS test servers on 127.0.0.1: first contact asks and
// pins, a changed certificate is refused before a byte of the login leaves, a
// certificate the (test) authority vouches for is accepted without asking, and a
// server without TLS never gets the login in the clear.
#include "client/core/ServerTrust.h"
#include "ScriptedServer.h"
#include "client/core/CertificatePins.h"
#include "client/core/ClientSession.h"
#include "client/core/TrustDecision.h"
#include "client/core/WireText.h"
#include "net/SettingsStore.h"
#include "net/Winsock.h"
#include "tests/support/TlsTestPeers.h"

#include <QFile>
#include <gtest/gtest.h>

using client::ClientSession;
using client::ServerTrust;
using clienttest::Printable;
using clienttest::ScriptedServer;
using zindletest::Pump;
using zindletest::TestPki;
using zindletest::TlsTestServer;
using zindletest::WaitUntil;

namespace {

const QByteArray kCack("\xFF\xFF"
                       "CACK",
                       6);

TestPki& Pki() {
    static TestPki pki;
    return pki;
}

// --- the rules and the pins, without sockets ----------------------------------

TEST(TrustRules, AuthorityFirstThenPinThenAsk) {
    using client::Trust;
    EXPECT_EQ(client::DecideTrust(true, {}, "AA"), Trust::Accept);
    EXPECT_EQ(client::DecideTrust(true, "BB", "AA"),
              Trust::Accept); // a real certificate replaces a self-made one
    EXPECT_EQ(client::DecideTrust(false, {}, "AA"), Trust::Ask);
    EXPECT_EQ(client::DecideTrust(false, "AA", "AA"), Trust::Accept);
    EXPECT_EQ(client::DecideTrust(false, "aa", "AA"), Trust::Accept);
    EXPECT_EQ(client::DecideTrust(false, "BB", "AA"), Trust::Refuse);
}

TEST(TrustRules, FingerprintIsTheOneOpensslPrints) {
    ASSERT_TRUE(Pki().ok()) << Pki().error().toStdString();
    const QString fingerprint = client::CertificateFingerprint(Pki().selfSigned.certificate.toDer());
    EXPECT_EQ(fingerprint, Pki().opensslFingerprint(Pki().selfSigned));
    EXPECT_EQ(fingerprint.size(), 32 * 3 - 1);
    EXPECT_EQ(client::CertificateFingerprint({}), QString());
}

TEST(CertificatePins, KeyedByLowerCaseHostAndPortAndKeptInTheSettings) {
    QFile::remove(net::SettingsFilePath(QStringLiteral("ZindleChat")));
    EXPECT_EQ(client::PinKey(QStringLiteral(" Chat.Example.NL "), 4000),
              QStringLiteral("chat.example.nl:4000"));
    EXPECT_EQ(client::PinKey(QStringLiteral("::1"), 12345), QStringLiteral("[::1]:12345"));
    EXPECT_EQ(client::PinKey(QStringLiteral("[::1]"), 12345), QStringLiteral("[::1]:12345"));

    EXPECT_TRUE(client::SavePin(QStringLiteral("b.example:1"), QStringLiteral("BB")));
    EXPECT_TRUE(client::SavePin(QStringLiteral("[::1]:12345"), QStringLiteral("CC")));
    EXPECT_TRUE(client::SavePin(QStringLiteral("a.example:1"), QStringLiteral("AA")));
    EXPECT_EQ(client::PinnedFingerprint(QStringLiteral("[::1]:12345")), QStringLiteral("CC"));
    EXPECT_EQ(client::PinnedFingerprint(QStringLiteral("a.example:2")), QString()); // another port
    // The other settings of the section "Options" are no pins.
    net::SaveSetting(QStringLiteral("ZindleChat"), QStringLiteral("Options"), QStringLiteral("Nickname"),
                     "x");

    QStringList servers;
    for (const client::CertificatePin& pin : client::AllPins())
        servers << pin.server;
    EXPECT_EQ(servers, (QStringList{"[::1]:12345", "a.example:1", "b.example:1"}));

    client::ForgetPin(QStringLiteral("a.example:1"));
    EXPECT_EQ(client::PinnedFingerprint(QStringLiteral("a.example:1")), QString());
    EXPECT_EQ(client::AllPins().size(), 2);
    EXPECT_EQ(
        net::GetSetting(QStringLiteral("ZindleChat"), QStringLiteral("Options"), QStringLiteral("Nickname")),
        QStringLiteral("x"));
}

// --- over real sockets ----------------------------------------------------------

class EncryptedSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Pki().ok()) << Pki().error().toStdString();
        QFile::remove(net::SettingsFilePath(QStringLiteral("ZindleChat")));
        session.Winsock1()->setEncryption(true);
        QObject::connect(&session, &ClientSession::sessionStarted, [this] { ++started; });
        QObject::connect(&trust, &ServerTrust::askTrust,
                         [this](const QString& server, const QString& fp) { asked << server + u' ' + fp; });
        QObject::connect(&trust, &ServerTrust::identityChanged,
                         [this](const QString& server, const QString& pinned, const QString& presented) {
                             changed << QStringList{server, pinned, presented};
                         });
        QObject::connect(&trust, &ServerTrust::attemptEnded,
                         [this](const QString& status) { ended << status; });
        session.setLocalNickname(QStringLiteral("gast"));
        session.setPassword(client::ScramblePassword(QStringLiteral("geheim")));
    }

    void connectTo(const QString& host, quint16 port) {
        trust.setServer(host, port);
        session.Winsock1()->connectToHost(host, port);
    }

    QString fingerprint(const zindletest::TlsIdentity& identity) {
        return client::CertificateFingerprint(identity.certificate.toDer());
    }

    ClientSession session;
    ServerTrust trust{session.Winsock1()};
    int started = 0;
    QStringList asked, ended;
    QList<QStringList> changed;
};

TEST_F(EncryptedSessionTest, FirstContactAsksSendsNothingMeanwhileThenPinsAndLogsIn) {
    TlsTestServer server(Pki().selfSigned);
    ASSERT_TRUE(server.start());
    connectTo(QStringLiteral("127.0.0.1"), server.port());
    ASSERT_TRUE(WaitUntil([&] { return !asked.isEmpty(); }));
    const QString key = QStringLiteral("127.0.0.1:%1").arg(server.port());
    EXPECT_EQ(asked, QStringList{key + u' ' + Pki().opensslFingerprint(Pki().selfSigned)});
    EXPECT_TRUE(trust.asking());
    EXPECT_EQ(session.Winsock1()->state(), net::Winsock::State::Connecting);
    Pump(100); // the user looks at the question: the login waits
    EXPECT_EQ(started, 0);
    EXPECT_TRUE(server.received.isEmpty()) << Printable(server.received);
    EXPECT_EQ(client::PinnedFingerprint(key), QString());

    trust.answer(true);
    ASSERT_TRUE(WaitUntil([&] { return server.received.contains(kCack); })) << Printable(server.received);
    EXPECT_EQ(started, 1);
    EXPECT_TRUE(session.Winsock1()->isEncrypted());
    EXPECT_EQ(client::PinnedFingerprint(key), fingerprint(Pki().selfSigned));

    // The plain protocol inside: the server's answer logs the session in.
    server.send(ScriptedServer::Command("SACK"));
    ASSERT_TRUE(WaitUntil([&] { return session.state() == ClientSession::State::InSession; }));
    ASSERT_TRUE(WaitUntil([&] { return server.received.contains(ScriptedServer::Command("ACKD")); }));

    // The next connection to the pinned server goes through without a question.
    session.Winsock1_Close();
    asked.clear();
    server.received.clear();
    connectTo(QStringLiteral("127.0.0.1"), server.port());
    ASSERT_TRUE(WaitUntil([&] { return server.received.contains(kCack); })) << Printable(server.received);
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_EQ(started, 2);
    EXPECT_TRUE(ended.isEmpty());
}

TEST_F(EncryptedSessionTest, ChangedCertificateIsRefusedBeforeTheLoginAndThePinStays) {
    TlsTestServer server(Pki().otherSelfSigned);
    ASSERT_TRUE(server.start());
    const QString key = QStringLiteral("127.0.0.1:%1").arg(server.port());
    const QString pinned = fingerprint(Pki().selfSigned);
    client::SavePin(key, pinned);

    connectTo(QStringLiteral("127.0.0.1"), server.port());
    ASSERT_TRUE(WaitUntil([&] { return !ended.isEmpty(); }));
    EXPECT_EQ(ended, QStringList{ServerTrust::kChangedStatus});
    ASSERT_EQ(changed.size(), 1);
    EXPECT_EQ(changed[0], (QStringList{key, pinned, fingerprint(Pki().otherSelfSigned)}));
    EXPECT_TRUE(asked.isEmpty());
    // The server's side sees the connection end, and not one byte of the login
    // (nickname, scrambled password) came through.
    EXPECT_EQ(server.connections, 1);
    ASSERT_TRUE(WaitUntil([&] { return server.clientGone(); }));
    Pump(50);
    EXPECT_TRUE(server.received.isEmpty()) << Printable(server.received);
    EXPECT_EQ(started, 0);
    EXPECT_EQ(session.Winsock1()->state(), net::Winsock::State::Closed);
    EXPECT_EQ(client::PinnedFingerprint(key), pinned);
}

TEST_F(EncryptedSessionTest, NoToTheQuestionSendsNothingAndPinsNothing) {
    TlsTestServer server(Pki().selfSigned);
    ASSERT_TRUE(server.start());
    connectTo(QStringLiteral("127.0.0.1"), server.port());
    ASSERT_TRUE(WaitUntil([&] { return trust.asking(); }));
    trust.answer(false);
    EXPECT_EQ(ended, QStringList{ServerTrust::kDeclinedStatus});
    ASSERT_TRUE(WaitUntil([&] { return server.clientGone(); }));
    EXPECT_TRUE(server.received.isEmpty());
    EXPECT_TRUE(client::AllPins().isEmpty());
    EXPECT_EQ(started, 0);
    trust.answer(true); // late: the attempt is over
    EXPECT_TRUE(client::AllPins().isEmpty());
}

TEST_F(EncryptedSessionTest, CertificateFromATrustedAuthorityForTheNameNeedsNoQuestion) {
    session.Winsock1()->setCertificateAuthorities({Pki().authority});
    TlsTestServer server(Pki().signedForLocalhost);
    ASSERT_TRUE(server.start());
    connectTo(QStringLiteral("localhost"), server.port());
    ASSERT_TRUE(WaitUntil([&] { return server.received.contains(kCack); })) << Printable(server.received);
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_TRUE(session.Winsock1()->peerCertificateTrusted());
    EXPECT_TRUE(client::AllPins().isEmpty()); // nothing to remember
}

TEST_F(EncryptedSessionTest, AuthorityCertificateForAnotherNameIsAFirstContact) {
    session.Winsock1()->setCertificateAuthorities({Pki().authority});
    TlsTestServer server(Pki().signedForOtherName);
    ASSERT_TRUE(server.start());
    connectTo(QStringLiteral("localhost"), server.port());
    ASSERT_TRUE(WaitUntil([&] { return trust.asking(); }));
    EXPECT_FALSE(session.Winsock1()->peerCertificateTrusted());
    EXPECT_TRUE(server.received.isEmpty());
}

TEST_F(EncryptedSessionTest, WithoutTheTestAuthorityTheSameCertificateIsAsked) {
    // The system's authorities do not know the test authority.
    TlsTestServer server(Pki().signedForLocalhost);
    ASSERT_TRUE(server.start());
    connectTo(QStringLiteral("localhost"), server.port());
    ASSERT_TRUE(WaitUntil([&] { return trust.asking(); }));
    EXPECT_TRUE(server.received.isEmpty());
}

// A server without TLS answers the handshake as the plain protocol's server does
// (or just hangs up): the status says so and the login never goes out in the clear.
TEST_F(EncryptedSessionTest, PlainServerNeverGetsThePlainLogin) {
    for (bool answers : {true, false}) {
        SCOPED_TRACE(answers ? "server answers" : "server hangs up");
        ended.clear();
        ScriptedServer server;
        ASSERT_TRUE(server.listen());
        connectTo(QStringLiteral("127.0.0.1"), server.port());
        ASSERT_TRUE(server.waitForClient());
        ASSERT_TRUE(WaitUntil([&] { return !server.received().isEmpty(); }));
        EXPECT_EQ(server.received().at(0), '\x16'); // a TLS handshake record
        if (answers)
            server.send(ScriptedServer::Line("Wrong Protocol"));
        server.closeClient();
        ASSERT_TRUE(WaitUntil([&] { return !ended.isEmpty(); }));
        EXPECT_EQ(ended, QStringList{ServerTrust::kNoTlsStatus});
        Pump(50);
        EXPECT_FALSE(server.received().contains("CACK")) << Printable(server.received());
        EXPECT_EQ(started, 0);
        EXPECT_EQ(session.Winsock1()->state(), net::Winsock::State::Closed);
    }
}

TEST_F(EncryptedSessionTest, ServerThatLeavesDuringTheQuestionWithdrawsIt) {
    int withdrawn = 0;
    QObject::connect(&trust, &ServerTrust::askWithdrawn, [&] { ++withdrawn; });
    TlsTestServer server(Pki().selfSigned);
    ASSERT_TRUE(server.start());
    connectTo(QStringLiteral("127.0.0.1"), server.port());
    ASSERT_TRUE(WaitUntil([&] { return trust.asking(); }));
    server.client->disconnectFromHost();
    ASSERT_TRUE(WaitUntil([&] { return !ended.isEmpty(); }));
    EXPECT_EQ(ended, QStringList{ServerTrust::kLostStatus});
    EXPECT_EQ(withdrawn, 1);
    EXPECT_FALSE(trust.asking());
    EXPECT_TRUE(client::AllPins().isEmpty());
}

} // namespace
