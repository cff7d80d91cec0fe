// SPDX-License-Identifier: GPL-3.0-or-later
// The socket object over TLS against a TLS test server on 127.0.0.1: the same
// plain bytes and the same events as without encryption, and nothing read or
// written before the owner accepts the server's certificate.
#include "LoopbackPair.h"
#include "tests/support/TlsTestPeers.h"

#include <gtest/gtest.h>

using net::Winsock;
using nettest::Recorder;
using zindletest::Pump;
using zindletest::TestPki;
using zindletest::TlsTestServer;
using zindletest::WaitUntil;

namespace {

TestPki& Pki() {
    static TestPki pki;
    return pki;
}

struct TlsClient {
    Winsock sock;
    Recorder rec{sock};
    int certificates = 0, failures = 0;
    TlsClient() {
        sock.setEncryption(true);
        QObject::connect(&sock, &Winsock::PeerCertificate, [this] { ++certificates; });
        QObject::connect(&sock, &Winsock::EncryptionFailed, [this] { ++failures; });
    }
};

TEST(WinsockTls, HoldsEverythingUntilAcceptedThenCarriesThePlainBytesBothWays) {
    ASSERT_TRUE(Pki().ok()) << Pki().error().toStdString();
    TlsTestServer server(Pki().selfSigned);
    ASSERT_TRUE(server.start());
    TlsClient c;
    c.sock.connectToHost(QStringLiteral("127.0.0.1"), server.port());
    ASSERT_TRUE(WaitUntil([&] { return c.certificates == 1; }));
    EXPECT_FALSE(c.sock.peerCertificateTrusted()); // self-signed
    EXPECT_EQ(c.sock.peerCertificateDer(), Pki().selfSigned.certificate.toDer());
    EXPECT_EQ(c.sock.state(), Winsock::State::Connecting);
    EXPECT_FALSE(c.sock.isEncrypted());
    EXPECT_EQ(c.sock.sendData(QByteArray("vroeg")), -1);

    // The server speaks first: its bytes wait for the acceptance.
    server.send(QByteArray("hallo\0", 6));
    Pump(100);
    EXPECT_TRUE(c.rec.events.isEmpty());

    c.sock.acceptPeerCertificate();
    ASSERT_TRUE(WaitUntil([&] { return c.rec.data.size() == 6; }));
    EXPECT_EQ(c.rec.events.first(), QStringLiteral("Connect"));
    EXPECT_EQ(c.rec.data, QByteArray("hallo\0", 6));
    EXPECT_TRUE(c.sock.isEncrypted());
    EXPECT_EQ(c.sock.state(), Winsock::State::Connected);

    // Many small writes gathered in one pass and one block far larger than a TLS
    // record: every byte value arrives as written.
    QByteArray expected;
    for (int i = 0; i < 100; ++i) {
        const QByteArray piece = "\xFF\xFF"
                                 "bericht " +
                                 QByteArray::number(i) + '\0';
        expected += piece;
        ASSERT_EQ(c.sock.sendData(piece), piece.size());
    }
    QByteArray big(512 * 1024, '\0');
    for (int i = 0; i < big.size(); ++i)
        big[i] = char(i * 7);
    expected += big;
    ASSERT_EQ(c.sock.sendData(big), big.size());
    ASSERT_TRUE(WaitUntil([&] { return server.received.size() >= expected.size(); }, 10000));
    EXPECT_EQ(server.received, expected);

    // The peer's close is Close(), once.
    server.client->disconnectFromHost();
    ASSERT_TRUE(WaitUntil([&] { return c.rec.count("Close") == 1; }));
    Pump(50);
    EXPECT_EQ(c.rec.count("Close"), 1);
    EXPECT_EQ(c.failures, 0);
}

TEST(WinsockTls, OwnCloseRaisesNothingAtAnyStage) {
    ASSERT_TRUE(Pki().ok()) << Pki().error().toStdString();
    TlsTestServer server(Pki().selfSigned);
    ASSERT_TRUE(server.start());
    for (int stage = 0; stage < 3; ++stage) {
        SCOPED_TRACE(stage);
        TlsClient c;
        c.sock.connectToHost(QStringLiteral("127.0.0.1"), server.port());
        if (stage >= 1) {
            ASSERT_TRUE(WaitUntil([&] { return c.certificates == 1; }));
        }
        if (stage == 2) {
            c.sock.acceptPeerCertificate();
            ASSERT_TRUE(c.sock.isEncrypted());
        }
        c.sock.close();
        EXPECT_EQ(c.sock.state(), Winsock::State::Closed);
        Pump(100);
        EXPECT_EQ(c.rec.count("Close"), 0);
        EXPECT_EQ(c.failures, 0);
        EXPECT_LE(c.certificates, 1);
    }
}

TEST(WinsockTls, UnreachablePortStaysSilentAsWithoutEncryption) {
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 port = probe.serverPort();
    probe.close();
    TlsClient c;
    c.sock.connectToHost(QStringLiteral("127.0.0.1"), port);
    Pump(200);
    EXPECT_EQ(c.failures, 0); // the caller's time-out reports it
    EXPECT_TRUE(c.rec.events.isEmpty());
}

} // namespace
