// SPDX-License-Identifier: GPL-3.0-or-later
// The epoll transport's TLS over real sockets: bytes both ways, what the send
// budget sees, gathering per pass, the goodbye, resumption and plaintext beside it.
#include "TlsPeer.h"
#include "TransportHarness.h"
#include "net/SelfSignedCertificate.h"
#include "net/TlsContext.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/ioctl.h>

using namespace nettest;

namespace {

class EpollTlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        const QString cert = dir.filePath(QStringLiteral("c.pem")),
                      key = dir.filePath(QStringLiteral("k.pem"));
        QString error;
        ASSERT_TRUE(net::MakeSelfSignedCertificate(cert, key, QStringLiteral("t"), &error));
        context = net::TlsContext::Load(cert, key, &error);
        ASSERT_TRUE(context) << error.toStdString();
        h.transport.setTlsContext(context);
        ASSERT_TRUE(h.listening);
    }

    // A TLS peer accepted into the next slot with its handshake done on both
    // sides (the client finishes first).
    std::unique_ptr<TlsPeer> connectTls(int receiveBuffer = 0, SSL_SESSION* resume = nullptr) {
        const int slot = h.nextSlot;
        auto peer = std::make_unique<TlsPeer>(h.port(), receiveBuffer, resume);
        EXPECT_TRUE(zindletest::WaitUntil([&] { return h.nextSlot > slot; }));
        EXPECT_TRUE(peer->handshake());
        EXPECT_TRUE(zindletest::WaitUntil([&] { return h.transport.isEncrypted(slot); }));
        return peer;
    }

    QTemporaryDir dir;
    std::shared_ptr<net::TlsContext> context;
    TransportHarness h;
};

TEST_F(EpollTlsTest, BytesCrossBothWaysAndUnsentCountsWhatTlsHolds) {
    auto peer = connectTls(4096);
    const int slot = 1;
    EXPECT_TRUE(h.transport.isEncrypted(slot));
    EXPECT_EQ(SSL_version(peer->ssl()), TLS1_3_VERSION);

    const std::string up = Pattern(1 << 20, 3);
    ASSERT_TRUE(peer->sendAll(up));
    ASSERT_TRUE(h.waitForBytes(slot, up.size()));
    EXPECT_EQ(h.received[slot], up);

    // More than the system's buffers hold: the peer reads nothing yet, so a part
    // waits sealed on our side.
    const std::string down = Pattern(12 << 20, 5);
    h.transport.send(slot, down.data(), down.size());
    zindletest::Pump(100);
    EXPECT_GT(h.transport.unsentBytes(slot), std::size_t(2 << 20));
    EXPECT_EQ(h.transport.totalUnsentBytes(), h.transport.unsentBytes(slot));
    EXPECT_TRUE(peer->readExactly(down.size(), 20000) == down);
    EXPECT_TRUE(zindletest::WaitUntil([&] { return h.transport.totalUnsentBytes() == 0; }));
}

TEST_F(EpollTlsTest, WhatIsSentInOnePassLeavesAsOneRecord) {
    auto peer = connectTls();
    zindletest::Pump(50);
    (void)peer->readExactly(1, 100); // the session ticket
    std::string all;
    for (int i = 0; i < 100; ++i) {
        const std::string line = "regel " + std::to_string(i) + '\n';
        h.transport.send(1, line.data(), line.size());
        all += line;
    }
    int waiting = 0;
    ASSERT_TRUE(zindletest::WaitUntil([&] {
        ::ioctl(peer->raw().fd(), FIONREAD, &waiting);
        return std::size_t(waiting) >= all.size();
    }));
    zindletest::Pump(50);
    ::ioctl(peer->raw().fd(), FIONREAD, &waiting);
    EXPECT_LT(std::size_t(waiting), all.size() + 2 * 32); // one record's overhead, not a hundred
    EXPECT_EQ(peer->readExactly(all.size()), all);
}

TEST_F(EpollTlsTest, CloseSaysGoodbyeAfterTheQueuedBytes) {
    auto peer = connectTls();
    const std::string last = "tot ziens";
    h.transport.send(1, last.data(), last.size());
    h.transport.close(1);
    EXPECT_EQ(peer->readExactly(last.size()), last);
    EXPECT_TRUE(peer->waitForGoodbye());
    EXPECT_EQ(h.count("Close 1"), 0); // our own close raises nothing
}

TEST_F(EpollTlsTest, AReconnectResumesWithATicket) {
    SSL_SESSION* session = nullptr;
    {
        auto first = connectTls();
        const std::string hello = "hallo";
        h.transport.send(1, hello.data(), hello.size());
        ASSERT_EQ(first->readExactly(hello.size()), hello); // the ticket came before it
        session = SSL_get1_session(first->ssl());
        ASSERT_TRUE(session);
        SSL_shutdown(first->ssl()); // a session that ends without goodbye is not offered again
    }
    auto second = connectTls(0, session);
    EXPECT_EQ(SSL_session_reused(second->ssl()), 1);
    SSL_SESSION_free(session);
    ASSERT_TRUE(second->sendAll("nog eens"));
    EXPECT_TRUE(h.waitForBytes(2, 8));
}

TEST_F(EpollTlsTest, PlaintextBesideTlsIsUntouchedAndTheSlotWaitsForTheHandshake) {
    auto plain = h.connectPeer();
    const std::string hello("\xFF\xFF"
                            "CACKx##1",
                            10);
    ASSERT_TRUE(plain->sendAll(hello));
    ASSERT_TRUE(h.waitForBytes(1, hello.size()));
    EXPECT_EQ(h.received[1], hello);
    EXPECT_FALSE(h.transport.isEncrypted(1));

    // A handshake that stalls raises nothing, and its peer's end is a close.
    RawPeer stalled(h.port());
    ASSERT_TRUE(zindletest::WaitUntil([&] { return h.transport.connectionCount() == 2; }));
    stalled.sendAll(std::string("\x16\x03\x01", 3));
    zindletest::Pump(100);
    EXPECT_EQ(h.count("Data 2"), 0);
    stalled.close();
    EXPECT_TRUE(zindletest::WaitUntil([&] { return h.count("Close 2") == 1; }));
    EXPECT_EQ(h.count("Data 2"), 0);
}

TEST(EpollNoTlsTest, AHandshakeIsAnsweredWithAnAlertAndClosed) {
    TransportHarness h;
    TlsPeer peer(h.port());
    ASSERT_TRUE(zindletest::WaitUntil([&] { return h.transport.connectionCount() == 1; }));
    EXPECT_FALSE(peer.handshake(3000));
    EXPECT_TRUE(zindletest::WaitUntil([&] { return h.count("Close 1") == 1; }));
    EXPECT_EQ(h.count("Data 1"), 0);
    EXPECT_EQ(h.transport.connectionCount(), 0u);
}

} // namespace
