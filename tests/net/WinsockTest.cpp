// SPDX-License-Identifier: GPL-3.0-or-later
// Loopback tests of the socket object: events, ordering, close rules and the
// two ways of accepting a request.
#include "LoopbackPair.h"

#include <QHostInfo>
#include <QTcpServer>
#include <gtest/gtest.h>

using net::Winsock;
using nettest::LoopbackPair;
using nettest::Recorder;
using nettest::settle;
using nettest::waitUntil;

TEST(Winsock, ConnectsAndCarriesDataBothWaysInOrder) {
    LoopbackPair pair;
    ASSERT_TRUE(pair.open());
    EXPECT_NE(pair.listener.localPort(), 0);
    EXPECT_EQ(pair.client.state(), Winsock::State::Connected);
    EXPECT_EQ(pair.server->state(), Winsock::State::Connected);
    EXPECT_EQ(pair.listener.state(), Winsock::State::Listening);

    // Peers read as plain dotted IPv4, and each side's ports match the other's.
    EXPECT_EQ(pair.server->remoteHostIP(), "127.0.0.1");
    EXPECT_EQ(pair.client.remoteHostIP(), "127.0.0.1");
    EXPECT_EQ(pair.client.remotePort(), pair.listener.localPort());
    EXPECT_EQ(pair.server->remotePort(), pair.client.localPort());

    Recorder atServer(*pair.server);
    Recorder atClient(pair.client);
    QByteArray expected;
    for (int i = 0; i < 200; ++i) {
        const QByteArray piece = "bericht " + QByteArray::number(i) + '\0';
        expected += piece;
        ASSERT_EQ(pair.client.sendData(piece), piece.size());
    }
    // Every byte value survives, NUL and 0xFF included.
    QByteArray binary(256, '\0');
    for (int i = 0; i < 256; ++i)
        binary[i] = char(i);
    expected += binary;
    pair.client.sendData(binary.constData(), binary.size());
    ASSERT_TRUE(waitUntil([&] { return atServer.data.size() >= expected.size(); }));
    EXPECT_EQ(atServer.data, expected);

    // A block far larger than one socket buffer arrives whole the other way.
    QByteArray big(3 * 1024 * 1024, 'x');
    for (int i = 0; i < big.size(); i += 4093)
        big[i] = char(i / 4093);
    EXPECT_EQ(pair.server->sendData(big), big.size());
    ASSERT_TRUE(waitUntil([&] { return atClient.data.size() >= big.size(); }, 10000));
    EXPECT_EQ(atClient.data, big);
    EXPECT_EQ(atClient.count("Close"), 0);
    EXPECT_EQ(atServer.count("Close"), 0);
}

// Qt reports our own close as a disconnect too; only the peer's may become Close.
TEST(Winsock, PeerCloseRaisesCloseOnceAndOwnCloseNothing) {
    for (const bool clientCloses : {true, false}) {
        SCOPED_TRACE(clientCloses ? "client closes" : "server closes");
        LoopbackPair pair;
        ASSERT_TRUE(pair.open());
        Winsock& closer = clientCloses ? pair.client : *pair.server;
        Winsock& peer = clientCloses ? *pair.server : pair.client;
        Recorder atCloser(closer);
        Recorder atPeer(peer);

        closer.close();
        EXPECT_EQ(closer.state(), Winsock::State::Closed);
        ASSERT_TRUE(waitUntil([&] { return atPeer.count("Close") > 0; }));
        settle();
        EXPECT_EQ(atPeer.count("Close"), 1);
        EXPECT_EQ(peer.state(), Winsock::State::Closed);
        EXPECT_TRUE(atCloser.events.isEmpty()) << atCloser.events.join(',').toStdString();

        // Closing the side the peer already closed raises nothing either.
        peer.close();
        settle(50);
        EXPECT_EQ(atPeer.count("Close"), 1);
    }
}

TEST(Winsock, DataWrittenBeforeACloseIsDeliveredBeforeClose) {
    LoopbackPair pair;
    ASSERT_TRUE(pair.open());
    Recorder atClient(pair.client);
    // Big enough to still sit in the object's own buffer when close() is called.
    const QByteArray farewell = QByteArray(2 * 1024 * 1024, 'k') + "**Je bent gekicked";
    pair.server->sendData(farewell);
    pair.server->close();
    ASSERT_TRUE(waitUntil([&] { return atClient.count("Close") > 0; }, 10000));
    EXPECT_EQ(atClient.data, farewell);
    EXPECT_EQ(atClient.events.last(), "Close");
    EXPECT_EQ(atClient.count("Close"), 1);
}

TEST(Winsock, DestroyingAConnectedObjectRaisesNothingAndThePeerSeesTheClose) {
    LoopbackPair pair;
    ASSERT_TRUE(pair.open());
    Recorder atClient(pair.client);
    int closesAtServer = 0;
    QObject::connect(pair.server.get(), &Winsock::Close, [&] { ++closesAtServer; });
    pair.server->sendData("tot ziens");
    pair.server.release()->deleteLater();
    ASSERT_TRUE(waitUntil([&] { return atClient.count("Close") > 0; }));
    EXPECT_EQ(atClient.data, "tot ziens");
    EXPECT_EQ(closesAtServer, 0);
}

// The file sender's pattern: the listener stops listening and takes the request itself.
TEST(Winsock, ListenerAcceptsTheRequestOnItselfAfterClosing) {
    Winsock sender;
    sender.setLocalPort(0);
    ASSERT_TRUE(sender.listen());
    const quint16 port = sender.localPort();
    ASSERT_NE(port, 0);
    QObject::connect(&sender, &Winsock::ConnectionRequest, [&](qintptr id) {
        sender.close();
        EXPECT_TRUE(sender.accept(id));
    });

    Winsock receiver;
    Recorder atReceiver(receiver);
    receiver.connectToHost(QStringLiteral("127.0.0.1"), port);
    ASSERT_TRUE(waitUntil([&] { return sender.state() == Winsock::State::Connected; }));
    ASSERT_TRUE(waitUntil([&] { return atReceiver.count("Connect") == 1; }));
    EXPECT_EQ(sender.remoteHostIP(), "127.0.0.1");

    Recorder atSender(sender);
    receiver.sendData("ACPT");
    ASSERT_TRUE(waitUntil([&] { return atSender.data == "ACPT"; }));
    sender.sendData("FILE42");
    ASSERT_TRUE(waitUntil([&] { return atReceiver.data == "FILE42"; }));

    // Nobody listens on that port any more: a second attempt never connects.
    Winsock latecomer;
    Recorder atLatecomer(latecomer);
    latecomer.connectToHost(QStringLiteral("127.0.0.1"), port);
    settle(300);
    EXPECT_TRUE(atLatecomer.events.isEmpty());
    EXPECT_EQ(latecomer.state(), Winsock::State::Closed);
}

TEST(Winsock, RequestsNobodyAcceptsAreClosed) {
    for (const bool explicitRefusal : {false, true}) {
        SCOPED_TRACE(explicitRefusal ? "refused" : "left alone");
        Winsock listener;
        ASSERT_TRUE(listener.listen());
        qintptr offered = -1;
        QObject::connect(&listener, &Winsock::ConnectionRequest, [&](qintptr id) {
            offered = id;
            if (explicitRefusal)
                Winsock::refuse(id);
        });
        Winsock client;
        Recorder atClient(client);
        client.connectToHost(QStringLiteral("127.0.0.1"), listener.localPort());
        ASSERT_TRUE(waitUntil([&] { return atClient.count("Close") == 1; }));
        EXPECT_EQ(client.state(), Winsock::State::Closed);
        // The id is spent: it can be neither accepted nor refused again.
        Winsock late;
        EXPECT_FALSE(late.accept(offered));
        EXPECT_EQ(late.state(), Winsock::State::Closed);
        EXPECT_EQ(listener.state(), Winsock::State::Listening);
    }
}

TEST(Winsock, ListenFailsWithAReasonWhenThePortIsTaken) {
    QTcpServer occupant;
    ASSERT_TRUE(occupant.listen(QHostAddress::AnyIPv4, 0));
    const quint16 taken = occupant.serverPort();
    Winsock sock;
    sock.setLocalPort(taken);
    QString reason;
    EXPECT_FALSE(sock.listen(&reason));
    EXPECT_FALSE(reason.isEmpty());
    EXPECT_TRUE(reason.contains(QString::number(taken))) << reason.toStdString();
    EXPECT_EQ(sock.state(), Winsock::State::Closed);
    EXPECT_FALSE(sock.listen()); // no place for the reason: still just false

    occupant.close();
    EXPECT_TRUE(sock.listen());
    EXPECT_EQ(sock.localPort(), taken);
}

TEST(Winsock, ObjectsWithoutAConnectionRefuseToSendAndReadNothing) {
    Winsock idle;
    EXPECT_EQ(idle.sendData("x"), -1);
    EXPECT_TRUE(idle.getData().isEmpty());
    EXPECT_EQ(idle.bytesToWrite(), 0);
    EXPECT_FALSE(idle.accept(123456)); // an id nobody offered
    idle.close();                      // closing twice is harmless
    idle.close();

    ASSERT_TRUE(idle.listen());
    EXPECT_EQ(idle.sendData("x"), -1); // a listener has no peer

    LoopbackPair pair;
    ASSERT_TRUE(pair.open());
    pair.client.close();
    EXPECT_EQ(pair.client.sendData("x"), -1);
    ASSERT_TRUE(waitUntil([&] { return pair.server->state() == Winsock::State::Closed; }));
    EXPECT_EQ(pair.server->sendData("x"), -1);
}

TEST(Winsock, FailedConnectionAttemptRaisesNothing) {
    QTcpServer probe; // find a port nobody listens on
    ASSERT_TRUE(probe.listen(QHostAddress::AnyIPv4, 0));
    const quint16 deadPort = probe.serverPort();
    probe.close();

    Winsock client;
    Recorder atClient(client);
    client.connectToHost(QStringLiteral("127.0.0.1"), deadPort);
    ASSERT_TRUE(waitUntil([&] { return client.state() == Winsock::State::Closed; }));
    settle();
    EXPECT_TRUE(atClient.events.isEmpty());
}

// A handler that lets events run must not leave bytes that came in meanwhile
// unannounced, and the peer's close comes only after them.
TEST(Winsock, ArrivalsDuringAHandlerAreAnnouncedAfterItThenTheClose) {
    LoopbackPair pair;
    ASSERT_TRUE(pair.open());
    QStringList events;
    QByteArray received;
    int depth = 0;
    int deepest = 0;
    bool firstCall = true;
    QObject::connect(pair.server.get(), &Winsock::DataArrival, [&](qint64) {
        ++depth;
        deepest = std::max(deepest, depth);
        events << "Data";
        received += pair.server->getData();
        if (firstCall) {
            firstCall = false;
            // The peer sends more and closes while this handler is still busy.
            pair.client.sendData("tweede");
            pair.client.close();
            waitUntil([] { return false; }, 300);
        }
        --depth;
    });
    QObject::connect(pair.server.get(), &Winsock::Close, [&] { events << "Close"; });
    pair.client.sendData("eerste");
    ASSERT_TRUE(waitUntil([&] { return events.contains("Close"); }));
    EXPECT_EQ(received, "eerstetweede");
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(events.last(), "Close");
    EXPECT_EQ(events.count("Close"), 1);
}

TEST(Winsock, ReportsThisMachine) {
    const QString ip = Winsock::localIP();
    EXPECT_FALSE(QHostAddress(ip).isNull()) << ip.toStdString();
    EXPECT_EQ(QHostAddress(ip).protocol(), QAbstractSocket::IPv4Protocol);
    EXPECT_FALSE(Winsock::localHostName().isEmpty());
}

TEST(Winsock, DoEventsRunsPendingWork) {
    bool ran = false;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&] { ran = true; }, Qt::QueuedConnection);
    net::DoEvents();
    EXPECT_TRUE(ran);
}

// The name arrives later from a background lookup, asked for by the owner; it is
// never the address itself.
TEST(Winsock, RemoteHostIsFilledInByTheBackgroundLookup) {
    const QHostInfo reference = QHostInfo::fromName(QStringLiteral("127.0.0.1"));
    const QString expected = reference.error() == QHostInfo::NoError && reference.hostName() != "127.0.0.1"
                                 ? reference.hostName()
                                 : QString();
    LoopbackPair pair;
    ASSERT_TRUE(pair.open());
    pair.server->setPeerNameLookup(true);
    pair.client.setPeerNameLookup(true);
    EXPECT_TRUE(waitUntil([&] { return pair.server->remoteHost() == expected; }));
    EXPECT_TRUE(waitUntil([&] { return pair.client.remoteHost() == expected; }));
    EXPECT_EQ(Winsock().remoteHost(), "");
}
