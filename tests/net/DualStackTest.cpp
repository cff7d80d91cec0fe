// SPDX-License-Identifier: GPL-3.0-or-later
// The server's listener: both families on one socket by default, only the given
// addresses when told, and peers of both families named by their text.
#include "FamilySockets.h"
#include "net/EpollTransport.h"
#include "tests/support/EventWait.h"

#include <gtest/gtest.h>
#include <map>

namespace {

using nettest::ConnectTo;

struct Listening {
    net::EpollTransport transport;
    std::map<int, QString> peers; // slot -> address text
    std::vector<QString> requests;
    int nextSlot = 1;

    explicit Listening(const QStringList& addresses = {}) {
        transport.setListenAddresses(addresses);
        QObject::connect(&transport, &net::ServerTransport::ConnectionRequest, [this](qintptr id) {
            requests.push_back(transport.requestPeerIP(id));
            const int slot = nextSlot++;
            if (transport.accept(id, slot))
                peers[slot] = transport.peerIP(slot);
        });
    }
    bool waitForPeers(std::size_t n) {
        return zindletest::WaitUntil([&] { return peers.size() >= n; });
    }
};

TEST(DualStack, OneSocketTakesBothFamiliesAndAnIPv4PeerKeepsItsDottedText) {
    Listening server;
    QString error;
    ASSERT_TRUE(server.transport.listen(0, &error)) << error.toStdString();
    const quint16 port = server.transport.localPort();
    const int v4 = ConnectTo("127.0.0.1", port);
    const int v6 = ConnectTo("::1", port);
    ASSERT_GE(v4, 0);
    ASSERT_GE(v6, 0);
    ASSERT_TRUE(server.waitForPeers(2));
    EXPECT_EQ(server.peers[1], QStringLiteral("127.0.0.1")); // never "::ffff:127.0.0.1"
    EXPECT_EQ(server.peers[2], QStringLiteral("::1"));
    EXPECT_EQ(server.requests, (std::vector<QString>{QStringLiteral("127.0.0.1"), QStringLiteral("::1")}));
    EXPECT_GT(server.transport.peerPort(2), 0);
    ::close(v4);
    ::close(v6);
}

TEST(DualStack, GivenAddressesAreTheOnlyOnesAndShareOnePort) {
    Listening onlyV6({QStringLiteral("::1")});
    ASSERT_TRUE(onlyV6.transport.listen(0, nullptr));
    const quint16 port = onlyV6.transport.localPort();
    EXPECT_EQ(ConnectTo("127.0.0.1", port), -1) << "IPv4 must be refused";
    const int v6 = ConnectTo("::1", port);
    ASSERT_GE(v6, 0);
    ASSERT_TRUE(onlyV6.waitForPeers(1));
    EXPECT_EQ(onlyV6.peers[1], QStringLiteral("::1"));
    ::close(v6);
    onlyV6.transport.stopListening();
    EXPECT_FALSE(onlyV6.transport.isListening());

    Listening both({QStringLiteral("127.0.0.1"), QStringLiteral("::1")});
    ASSERT_TRUE(both.transport.listen(0, nullptr));
    const quint16 shared = both.transport.localPort();
    const int a = ConnectTo("127.0.0.1", shared);
    const int b = ConnectTo("::1", shared);
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    ASSERT_TRUE(both.waitForPeers(2));
    ::close(a);
    ::close(b);
}

TEST(DualStack, AnAddressThatCannotBeListenedOnSaysWhy) {
    QString error;
    Listening bad({QStringLiteral("::1"), QStringLiteral("localhost")});
    EXPECT_FALSE(bad.transport.listen(0, &error));
    EXPECT_EQ(error, QStringLiteral("Geen IP-adres om op te luisteren: \"localhost\""));
    EXPECT_FALSE(bad.transport.isListening());

    // 192.0.2.1 is a documentation address no machine of ours has.
    Listening foreign({QStringLiteral("::1"), QStringLiteral("192.0.2.1")});
    EXPECT_FALSE(foreign.transport.listen(0, &error));
    EXPECT_EQ(error, QStringLiteral("Adres 192.0.2.1 hoort niet bij deze machine."));
    EXPECT_FALSE(foreign.transport.isListening()); // the ::1 socket was closed again

    Listening first;
    ASSERT_TRUE(first.transport.listen(0, nullptr));
    Listening second({QStringLiteral("::1")});
    EXPECT_FALSE(second.transport.listen(first.transport.localPort(), &error));
    EXPECT_EQ(error, QStringLiteral("Poort %1 is al in gebruik.").arg(first.transport.localPort()));
}

} // namespace
