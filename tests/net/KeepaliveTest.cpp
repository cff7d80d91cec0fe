// SPDX-License-Identifier: GPL-3.0-or-later
// Dead links are noticed: keepalive with short timings on the client's socket
// object and on every connection the server's transport accepts; and the socket
// object's read switch, with which a receiver makes a fast peer wait.
#include "KeepaliveOptions.h"
#include "LoopbackPair.h"

#include <QTcpSocket>
#include <gtest/gtest.h>

using nettest::ExpectShortKeepalive;
using nettest::LoopbackPair;
using nettest::ReadKeepalive;
using nettest::Recorder;
using nettest::waitUntil;

namespace {

TEST(Keepalive, TheSocketObjectProbesWhenAskedForThisAndLaterConnections) {
    LoopbackPair pair;
    ASSERT_TRUE(pair.open());
    auto* socket = pair.client.findChild<QTcpSocket*>();
    ASSERT_NE(socket, nullptr);
    EXPECT_EQ(ReadKeepalive(int(socket->socketDescriptor())).on, 0); // off by default
    pair.client.setKeepalive(true);
    ExpectShortKeepalive(int(socket->socketDescriptor()));

    // A later connection of the same object gets it from the start.
    bool connected = false;
    QObject::connect(&pair.client, &net::Winsock::Connect, [&] { connected = true; });
    pair.client.connectToHost(QStringLiteral("127.0.0.1"), pair.listener.localPort());
    ASSERT_TRUE(waitUntil([&] { return connected; }));
    socket = pair.client.findChild<QTcpSocket*>();
    ASSERT_NE(socket, nullptr);
    ExpectShortKeepalive(int(socket->socketDescriptor()));
}

TEST(ReadSwitch, OffHoldsDataArrivalAndTheBytesUntilOnAgain) {
    LoopbackPair pair;
    ASSERT_TRUE(pair.open());
    Recorder atClient(pair.client);
    pair.client.setReading(false);
    EXPECT_FALSE(pair.client.isReading());

    // Far more than the system buffers: the sender has to wait for the reader.
    const QByteArray big(16 * 1024 * 1024, 'z');
    pair.server->sendData(big);
    nettest::settle(300);
    EXPECT_EQ(atClient.count("DataArrival"), 0);
    EXPECT_LE(pair.client.bytesAvailable(), 1);
    EXPECT_GT(pair.server->bytesToWrite(), 0);

    // On again: everything arrives, in order, and then the peer's close.
    pair.client.setReading(true);
    ASSERT_TRUE(waitUntil([&] { return atClient.data.size() >= big.size(); }, 20000));
    EXPECT_EQ(atClient.data, big);
    pair.server->close();
    ASSERT_TRUE(waitUntil([&] { return atClient.count("Close") == 1; }));

    // A new connection starts reading whatever the last one was left at.
    pair.client.setReading(false);
    pair.client.close();
    EXPECT_TRUE(pair.client.isReading());
}

} // namespace
