// SPDX-License-Identifier: GPL-3.0-or-later
// Loopback tests of the socket object's write path: bytes gathered during an
// event-loop pass, bytes the system would not take yet, and objects that close or
// die with bytes still waiting.
#include "LoopbackPair.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <gtest/gtest.h>
#include <sys/socket.h>

using net::Winsock;
using nettest::LoopbackPair;
using nettest::Recorder;
using nettest::waitUntil;

namespace {

// A plain Qt peer that takes in at most a few KiB until told to read, so that the
// system's buffers between it and the object under test fill up.
struct SlowPeer {
    QTcpServer server;
    QTcpSocket* peer = nullptr;
    QByteArray received;

    bool open(Winsock& client) {
        if (!server.listen(QHostAddress::LocalHost, 0))
            return false;
        client.connectToHost(QStringLiteral("127.0.0.1"), server.serverPort());
        if (!waitUntil([&] { return server.hasPendingConnections(); }))
            return false;
        peer = server.nextPendingConnection();
        peer->setReadBufferSize(4096);
        return waitUntil([&] { return client.state() == Winsock::State::Connected; });
    }
    // Reads until `total` bytes are in, in pieces.
    bool readAll(qint64 total, int timeoutMs = 10000) {
        peer->setReadBufferSize(256 * 1024);
        return waitUntil(
            [&] {
                received += peer->read(64 * 1024);
                return received.size() >= total;
            },
            timeoutMs);
    }
};

QByteArray numbered(const char* tag, int i) {
    return QByteArray(tag) + QByteArray::number(i) + ';';
}

QByteArray block(char fill, qsizetype size) {
    QByteArray b(size, fill);
    for (qsizetype i = 0; i < size; i += 997)
        b[i] = char('A' + (i / 997) % 26);
    return b;
}

} // namespace

// Small writes, a block far beyond what the system buffers, then more small writes
// while that block is still stuck: the peer, reading slowly, gets it all in order.
TEST(WinsockWrite, SmallWritesAroundAStuckBlockKeepTheirOrder) {
    Winsock client;
    SlowPeer slow;
    ASSERT_TRUE(slow.open(client));

    QByteArray expected;
    auto send = [&](const QByteArray& piece) {
        ASSERT_EQ(client.sendData(piece), piece.size());
        expected += piece;
    };
    for (int i = 0; i < 100; ++i)
        send(numbered("a", i));
    send(block('x', 16 * 1024 * 1024));
    for (int i = 0; i < 100; ++i)
        send(numbered("b", i));
    nettest::settle(50);
    // The system took only part of it; what waits is still counted as unsent.
    const qint64 waiting = client.bytesToWrite();
    EXPECT_GT(waiting, 0);
    EXPECT_LT(waiting, expected.size());
    for (int round = 0; round < 20; ++round) {
        for (int i = 0; i < 50; ++i)
            send(numbered("c", round * 50 + i));
        QCoreApplication::processEvents();
    }
    send(block('y', 100 * 1024));
    send("einde");

    ASSERT_TRUE(slow.readAll(expected.size()));
    EXPECT_EQ(slow.received.size(), expected.size());
    EXPECT_TRUE(slow.received == expected);
    EXPECT_TRUE(waitUntil([&] { return client.bytesToWrite() == 0; }));
}

// Bytes written in a pass wait for its end, and are counted until they leave.
TEST(WinsockWrite, BytesToWriteCountsBytesWaitingForTheEndOfThePass) {
    LoopbackPair pair;
    ASSERT_TRUE(pair.open());
    Recorder atServer(*pair.server);
    EXPECT_EQ(pair.client.bytesToWrite(), 0);
    pair.client.sendData("hallo");
    pair.client.sendData(" wereld");
    EXPECT_EQ(pair.client.bytesToWrite(), 12);
    ASSERT_TRUE(waitUntil([&] { return atServer.data == "hallo wereld"; }));
    EXPECT_EQ(pair.client.bytesToWrite(), 0);
    EXPECT_EQ(pair.client.sendData(QByteArray()), 0);
    EXPECT_EQ(pair.client.bytesToWrite(), 0);
}

// close() and destruction right after writing: nothing written is lost, the peer's
// Close comes after the bytes, and an object gone from among several waiting ones
// leaves nothing dangling for the end of the pass.
TEST(WinsockWrite, BytesWrittenJustBeforeCloseOrDestructionStillArrive) {
    for (const bool destroy : {false, true}) {
        SCOPED_TRACE(destroy ? "destroyed" : "closed");
        LoopbackPair first;
        LoopbackPair second;
        ASSERT_TRUE(first.open());
        ASSERT_TRUE(second.open());
        Recorder atFirst(first.client);
        Recorder atSecond(second.client);

        QByteArray expected;
        for (int i = 0; i < 500; ++i) {
            const QByteArray piece = numbered("regel ", i);
            first.server->sendData(piece);
            second.server->sendData(piece);
            expected += piece;
        }
        if (destroy)
            first.server.reset();
        else
            first.server->close();
        second.server->sendData("nog meer");

        ASSERT_TRUE(waitUntil([&] { return atFirst.count("Close") == 1; }));
        EXPECT_EQ(atFirst.data, expected);
        EXPECT_EQ(atFirst.events.last(), "Close");
        ASSERT_TRUE(waitUntil([&] { return atSecond.data.size() == expected.size() + 8; }));
        EXPECT_EQ(atSecond.data, expected + "nog meer");
    }
}

// A handler that answers, lets events run, and answers again: every answer
// arrives whole and in order, also when one of them is too big to leave at once.
TEST(WinsockWrite, WritesAroundDoEventsInsideAHandlerKeepTheirOrder) {
    LoopbackPair pair;
    ASSERT_TRUE(pair.open());
    const QByteArray big = block('g', 8 * 1024 * 1024);
    int requests = 0;
    QObject::connect(pair.server.get(), &Winsock::DataArrival, [&](qint64) {
        const QByteArray request = pair.server->getData();
        for (qsizetype i = 0; i < request.size(); ++i) {
            const int n = requests++;
            pair.server->sendData(numbered("voor", n));
            if (n % 3 == 1)
                pair.server->sendData(big);
            net::DoEvents();
            pair.server->sendData(numbered("na", n));
            net::DoEvents();
        }
    });
    QByteArray expected;
    for (int n = 0; n < 6; ++n) {
        expected += numbered("voor", n);
        if (n % 3 == 1)
            expected += big;
        expected += numbered("na", n);
    }
    Recorder atClient(pair.client);
    for (int n = 0; n < 6; ++n) {
        pair.client.sendData("?");
        QCoreApplication::processEvents();
    }
    ASSERT_TRUE(waitUntil([&] { return atClient.data.size() >= expected.size(); }, 15000));
    EXPECT_EQ(requests, 6);
    EXPECT_EQ(atClient.data.size(), expected.size());
    EXPECT_TRUE(atClient.data == expected);
}

// A peer that resets the connection: writing on costs neither the process (no
// SIGPIPE) nor the Close event.
TEST(WinsockWrite, WritingToAResetConnectionIsHarmless) {
    Winsock client;
    Recorder atClient(client);
    SlowPeer peer;
    ASSERT_TRUE(peer.open(client));
    const struct linger resetOnClose { 1, 0 };
    ASSERT_EQ(::setsockopt(int(peer.peer->socketDescriptor()), SOL_SOCKET, SO_LINGER, &resetOnClose,
                           sizeof resetOnClose),
              0);
    peer.peer->abort();
    for (int i = 0; i < 50 && client.state() == Winsock::State::Connected; ++i) {
        client.sendData(numbered("tegen de muur ", i));
        nettest::settle(10);
    }
    EXPECT_TRUE(waitUntil([&] { return atClient.count("Close") == 1; }));
    EXPECT_EQ(client.sendData("x"), -1);
}
