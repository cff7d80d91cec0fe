// SPDX-License-Identifier: GPL-3.0-or-later
// TLS on the chat port over real sockets: encrypted and plaintext clients in one
// room, the limits that bound a handshake, TLS-only rooms, the server's own
// certificate and reloading a renewed one.
#include "net/SelfSignedCertificate.h"
#include "server/core/TlsSetup.h"
#include "tests/server/core/CoreFixture.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <sys/stat.h>

using namespace testing_support;

namespace {

// A certificate of its own in a temporary folder, loaded by the core.
class TlsTest : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        certificate = dir.filePath(QStringLiteral("server.crt"));
        key = dir.filePath(QStringLiteral("server.key"));
        QString error;
        ASSERT_TRUE(net::MakeSelfSignedCertificate(certificate, key, QStringLiteral("test"), &error))
            << error.toStdString();
        core.setTlsFiles(certificate, key);
        ASSERT_TRUE(core.EnableTls(&error)) << error.toStdString();
    }

    RawClient& TlsClient() {
        clients.push_back(std::make_unique<RawClient>());
        RawClient& c = *clients.back();
        EXPECT_TRUE(c.ConnectTls(port));
        return c;
    }

    // Replaces the certificate files with a new pair.
    void Renew() {
        QFile::remove(certificate);
        QFile::remove(key);
        QString error;
        ASSERT_TRUE(net::MakeSelfSignedCertificate(certificate, key, QStringLiteral("renewed"), &error));
    }

    QTemporaryDir dir;
    QString certificate, key;
};

TEST_F(TlsTest, EncryptedAndPlaintextClientsInOneRoomSeeTheSameBytes) {
    RawClient& anna = TlsClient();
    ASSERT_TRUE(anna.Login("anna"));
    RawClient& bob = LoggedInClient("bob");
    RawClient& carol = TlsClient();
    ASSERT_TRUE(carol.Login("carol"));
    ASSERT_TRUE(anna.WaitForMessage(Cmd("USRN3#carol#0")));
    ASSERT_TRUE(bob.WaitForMessage(Cmd("USRN3#carol#0")));
    for (RawClient* c : {&anna, &bob, &carol})
        c->Clear();

    // Long lines cross record boundaries; a private message goes to one only.
    const std::string longLine = "anna> " + std::string(40000, 'a');
    anna.Send(longLine);
    bob.Send("bob> hallo");
    carol.SendCmd("PRIV2#psst");
    anna.SendCmd("PRIV2#ook psst");
    for (RawClient* c : {&anna, &bob, &carol})
        ASSERT_TRUE(c->WaitForMessage("bob> hallo") && c->WaitForMessage(longLine));
    ASSERT_TRUE(bob.WaitForMessage(Cmd("PRIV1#ook psst")));
    EXPECT_EQ(anna.Messages(), carol.Messages());
    std::vector<std::string> bobsRoom;
    for (const std::string& m : bob.Messages())
        if (m.rfind(Cmd("PRIV"), 0) != 0)
            bobsRoom.push_back(m);
    EXPECT_EQ(bobsRoom, anna.Messages());
    EXPECT_TRUE(bob.HasPrefix(Cmd("PRIV3#psst")));
    EXPECT_TRUE(anna.Socket().state() == QAbstractSocket::ConnectedState);
}

TEST_F(TlsTest, TlsOnlyClosesPlaintextAtOnceAndKeepsTls) {
    core.setTlsOnly(true);
    RawClient& plain = NewClient();
    plain.SendCmd("CACKplain##0.2 build \\#0013");
    EXPECT_TRUE(plain.WaitForClose());
    EXPECT_TRUE(plain.Messages().empty());
    EXPECT_TRUE(LogHas("Onversleutelde verbinding geweigerd"));
    RawClient& anna = TlsClient();
    EXPECT_TRUE(anna.Login("anna"));
    EXPECT_EQ(core.LoggedIn().size(), 1u);
}

TEST_F(TlsTest, AStalledHandshakeIsCutByTheLoginDeadlineAndCountsForItsAddress) {
    server::ServerLimits limits = core.Limits();
    limits.loginTimeoutSeconds = 1;
    limits.maxPendingPerAddress = 2;
    core.setLimits(limits);
    // Half a record header: the handshake begins and never goes on.
    RawClient& first = NewClient();
    RawClient& second = NewClient();
    first.SendRaw(std::string("\x16\x03\x01", 3));
    second.SendRaw(std::string("\x16\x03\x01", 3));
    Settle(100);
    RawClient third;
    third.Connect(port, 300);
    Settle(200);
    // Two wait for their address already: the newest takes the place of the one
    // that waited longest, handshake or not.
    EXPECT_EQ(accepted, 3);
    EXPECT_TRUE(first.WaitForClose(1000));
    EXPECT_EQ(core.ConnectionCount(), 2);
    EXPECT_TRUE(second.WaitForClose(3000));
    EXPECT_TRUE(third.WaitForClose(1000));
    EXPECT_EQ(core.ConnectionCount(), 0);
    RawClient& anna = TlsClient();
    EXPECT_TRUE(anna.Login("anna"));
}

TEST_F(TlsTest, GarbageAfterTheFirstByteEndsOnlyThatConnection) {
    RawClient& anna = TlsClient();
    ASSERT_TRUE(anna.Login("anna"));
    RawClient& bad = NewClient();
    bad.SendRaw(std::string("\x16\x03\x01\x00\x05hallo", 10));
    EXPECT_TRUE(bad.WaitForClose());
    EXPECT_EQ(core.ConnectionCount(), 1);
    anna.Send("anna> nog hier");
    EXPECT_TRUE(anna.WaitForMessage("anna> nog hier"));
}

TEST_F(TlsTest, ReloadTakesARenewedCertificateAndKeepsTheOldOneOnFailure) {
    const QString before = core.TlsFingerprint();
    RawClient& anna = TlsClient();
    ASSERT_TRUE(anna.Login("anna"));
    EXPECT_EQ(anna.PeerFingerprint(), before.toStdString());

    Renew();
    QString error;
    ASSERT_TRUE(core.ReloadTls(&error)) << error.toStdString();
    const QString renewed = core.TlsFingerprint();
    EXPECT_NE(renewed, before);
    EXPECT_TRUE(LogHas("TLS-vingerafdruk (SHA-256): " + renewed.toStdString()));
    RawClient& bob = TlsClient();
    ASSERT_TRUE(bob.Login("bob"));
    EXPECT_EQ(bob.PeerFingerprint(), renewed.toStdString());
    anna.Send("anna> nog steeds");
    EXPECT_TRUE(bob.WaitForMessage("anna> nog steeds")); // made before, still served

    // A half-written renewal: the key does not belong to the certificate.
    QFile::remove(key);
    QFile::copy(dir.filePath(QStringLiteral("server.crt")), key);
    EXPECT_FALSE(core.ReloadTls(&error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(LogHas("TLS-certificaat niet opnieuw geladen"));
    EXPECT_EQ(core.TlsFingerprint(), renewed);
    RawClient& carol = TlsClient();
    EXPECT_TRUE(carol.Login("carol"));
    EXPECT_EQ(carol.PeerFingerprint(), renewed.toStdString());
}

// Without TLS, a client that begins a handshake hears so at once instead of
// waiting for the login deadline.
TEST_F(CoreTest, ATlsClientIsRefusedCleanlyWhenTlsIsOff) {
    RawClient c;
    QSslSocket& socket = static_cast<QSslSocket&>(c.Socket());
    bool failed = false;
    QObject::connect(&socket, &QAbstractSocket::errorOccurred, [&] { failed = true; });
    EXPECT_FALSE(c.ConnectTls(port, 3000));
    EXPECT_TRUE(failed);
    EXPECT_TRUE(WaitFor([&] { return core.ConnectionCount() == 0 && LogHas("] Verbinding gesloten"); }));
    RawClient& anna = LoggedInClient("anna");
    EXPECT_EQ(core.LoggedIn().size(), 1u);
    (void)anna;
}

// The server's own certificate: made once beside the settings, key for the
// owner only, the same one after a restart, and its fingerprint is what clients see.
class OwnCertificateTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(config.isValid());
        oldConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    }
    void TearDown() override { qputenv("XDG_CONFIG_HOME", oldConfig); }
    QTemporaryDir config;
    QByteArray oldConfig;
};

TEST_F(OwnCertificateTest, IsMadeOnceKeptPrivateAndShownAsClientsSeeIt) {
    server::TlsSetup first;
    QString error;
    ASSERT_TRUE(first.Load(&error)) << error.toStdString();
    EXPECT_TRUE(first.MadeOwn());
    EXPECT_EQ(QFileInfo(first.CertificatePath()).absolutePath(), QFileInfo(config.path()).absoluteFilePath());
    struct stat keyStat {};
    ASSERT_EQ(::stat(QFile::encodeName(first.KeyPath()).constData(), &keyStat), 0);
    EXPECT_EQ(keyStat.st_mode & 0777, 0600u);
    const QString fingerprint = first.Fingerprint();
    EXPECT_EQ(fingerprint.size(), 32 * 3 - 1);
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^([0-9A-F]{2}:){31}[0-9A-F]{2}$")).match(fingerprint).hasMatch());

    server::TlsSetup again; // a restart
    ASSERT_TRUE(again.Load(&error));
    EXPECT_FALSE(again.MadeOwn());
    EXPECT_EQ(again.Fingerprint(), fingerprint);

    server::ServerCore core;
    ASSERT_TRUE(core.EnableTls(&error)) << error.toStdString();
    ASSERT_TRUE(core.StartServer(QString::number(FreePort()), &error));
    RawClient client;
    ASSERT_TRUE(client.ConnectTls(core.ListeningPort()));
    EXPECT_EQ(client.PeerFingerprint(), fingerprint.toStdString());
    EXPECT_EQ(core.TlsFingerprint(), fingerprint);
}

TEST_F(OwnCertificateTest, AKeyWithoutCertificateOrABrokenFileIsARefusalWithAReason) {
    server::TlsSetup setup;
    QString error;
    setup.setFiles(QString(), config.filePath(QStringLiteral("x.key")));
    EXPECT_FALSE(setup.Load(&error));
    EXPECT_FALSE(error.isEmpty());
    const QString broken = config.filePath(QStringLiteral("broken.pem"));
    QFile file(broken);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("-----BEGIN CERTIFICATE-----\nbroken\n-----END CERTIFICATE-----\n");
    file.close();
    setup.setFiles(broken, QString());
    error.clear();
    EXPECT_FALSE(setup.Load(&error));
    EXPECT_TRUE(error.contains(broken)) << error.toStdString();
    EXPECT_TRUE(setup.Fingerprint().isEmpty());
}

} // namespace
