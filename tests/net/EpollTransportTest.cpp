// SPDX-License-Identifier: GPL-3.0-or-later
// The epoll transport over real sockets on 127.0.0.1: requests, arrivals, the
// close rules, and reading switched off and on.
#include "TransportHarness.h"

#include <fcntl.h>
#include <gtest/gtest.h>

using nettest::CpuSeconds;
using nettest::Pattern;
using nettest::RawPeer;
using nettest::RunLoopFor;
using nettest::TransportHarness;
using zindletest::Pump;
using zindletest::WaitUntil;

TEST(EpollTransport, AcceptsIntoAnySlotAndCarriesEveryByteBothWays) {
    TransportHarness h;
    ASSERT_TRUE(h.listening);
    EXPECT_TRUE(h.transport.isListening());
    EXPECT_NE(h.port(), 0);

    QString seenAtRequest;
    h.acceptRequests = false;
    QObject::connect(&h.transport, &net::ServerTransport::ConnectionRequest, [&](qintptr id) {
        seenAtRequest = h.transport.requestPeerIP(id);
        h.transport.accept(id, h.transport.connectionCount() == 0 ? 32766 : 5);
    });
    RawPeer first(h.port());
    ASSERT_TRUE(WaitUntil([&] { return h.transport.connectionCount() == 1; }));
    RawPeer second(h.port());
    ASSERT_TRUE(WaitUntil([&] { return h.transport.connectionCount() == 2; }));
    EXPECT_EQ(seenAtRequest, "127.0.0.1");
    EXPECT_EQ(h.transport.peerIP(32766), "127.0.0.1");
    EXPECT_EQ(h.transport.peerPort(32766), first.localPort());
    EXPECT_EQ(h.transport.peerPort(5), second.localPort());
    EXPECT_EQ(h.transport.peerIP(6), "");

    const std::string up = Pattern(300000, 1);
    ASSERT_TRUE(first.sendAll(up));
    ASSERT_TRUE(h.waitForBytes(32766, up.size()));
    EXPECT_EQ(h.received[32766], up);

    const std::string down = Pattern(3 * 1024 * 1024, 2);
    for (std::size_t at = 0; at < down.size(); at += 1000)
        h.transport.send(5, down.data() + at, std::min<std::size_t>(1000, down.size() - at));
    EXPECT_EQ(second.readExactly(down.size()), down);
    EXPECT_EQ(h.count("Close 5") + h.count("Close 32766"), 0);
}

TEST(EpollTransport, RequestsLeftAloneOrRefusedAreClosedAndStrangeIdsTouchNothing) {
    TransportHarness h;
    ASSERT_TRUE(h.listening);
    h.acceptRequests = false;
    RawPeer ignored(h.port());
    EXPECT_TRUE(ignored.waitForEnd());
    EXPECT_EQ(h.count("Request"), 1);

    qintptr offered = -1;
    QObject::connect(&h.transport, &net::ServerTransport::ConnectionRequest, [&](qintptr id) {
        offered = id;
        h.transport.refuse(id);
        h.transport.refuse(id); // twice must not close a descriptor reused meanwhile
    });
    RawPeer refused(h.port());
    EXPECT_TRUE(refused.waitForEnd());
    EXPECT_EQ(h.transport.connectionCount(), 0u);

    // An id that is not on offer (any more) is neither accepted nor closed.
    EXPECT_FALSE(h.transport.accept(offered, 1));
    EXPECT_FALSE(h.transport.accept(0, 1));
    h.transport.refuse(0);
    EXPECT_NE(::fcntl(0, F_GETFD), -1);
    EXPECT_EQ(h.transport.requestPeerIP(0), "");
}

TEST(EpollTransport, ThePeersCloseFollowsItsLastBytesOnceAndOurOwnCloseRaisesNothing) {
    TransportHarness h;
    ASSERT_TRUE(h.listening);
    auto leaving = h.connectPeer();
    auto closedByUs = h.connectPeer();
    auto abortedByUs = h.connectPeer();
    auto resetting = h.connectPeer();

    ASSERT_TRUE(leaving->sendAll("laatste woorden"));
    leaving->close();
    ASSERT_TRUE(WaitUntil([&] { return h.count("Close 1") == 1; }));
    EXPECT_EQ(h.received[1], "laatste woorden");
    EXPECT_EQ(h.events.back(), "Close 1");
    EXPECT_EQ(h.events[h.events.size() - 2], "Data 1");
    EXPECT_EQ(h.transport.peerIP(1), ""); // the slot is free when Close comes

    h.transport.close(2);
    h.transport.abort(3);
    EXPECT_TRUE(closedByUs->waitForEnd());
    EXPECT_FALSE(closedByUs->wasReset());
    EXPECT_TRUE(abortedByUs->waitForEnd());
    EXPECT_TRUE(abortedByUs->wasReset());
    closedByUs->close(); // our side waits for the peer's end before it lets go

    // A reset peer ends too; what was queued for it is dropped from the count.
    const std::string queued = Pattern(100000);
    h.transport.send(4, queued.data(), queued.size());
    resetting->resetNow();
    ASSERT_TRUE(WaitUntil([&] { return h.count("Close 4") == 1; }));
    Pump(100);
    EXPECT_EQ(h.count("Close 1") + h.count("Close 4"), 2);
    EXPECT_EQ(h.count("Close 2") + h.count("Close 3"), 0);
    EXPECT_EQ(h.transport.connectionCount(), 0u);
    EXPECT_EQ(h.transport.totalUnsentBytes(), 0u);
    ASSERT_TRUE(WaitUntil([&] { return h.transport.lingeringCount() == 0; }));
}

TEST(EpollTransport, ArrivalIsNeverNestedAndACloseSeenInsideAHandlerFollowsIt) {
    TransportHarness h;
    ASSERT_TRUE(h.listening);
    auto talker = h.connectPeer();
    auto other = h.connectPeer();

    std::vector<std::string> insideHandler;
    double cpuInside = 0;
    bool once = true;
    h.onData = [&](int slot) {
        if (slot != 1 || !once)
            return;
        once = false;
        const std::size_t mark = h.events.size();
        talker->sendAll("meer");
        talker->close();
        other->sendAll("ander");
        // Other connections are served meanwhile; this one's bytes and end, ready
        // all along, must not wake the loop on every pass.
        const double cpuBefore = CpuSeconds();
        RunLoopFor(300);
        cpuInside = CpuSeconds() - cpuBefore;
        insideHandler.assign(h.events.begin() + long(mark), h.events.end());
    };
    ASSERT_TRUE(talker->sendAll("eerst"));
    ASSERT_TRUE(WaitUntil([&] { return h.count("Close 1") == 1; }));

    // Slot 2 was served inside the handler; slot 1 was not entered again.
    EXPECT_EQ(insideHandler, std::vector<std::string>{"Data 2"});
    EXPECT_LT(cpuInside, 0.03) << "the loop inside the handler spins";
    EXPECT_EQ(h.received[1], "eerstmeer");
    EXPECT_EQ(h.received[2], "ander");
    const std::vector<std::string> tail(h.events.end() - 2, h.events.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"Data 1", "Close 1"}));
}

TEST(EpollTransport, ReadingSwitchedOffHoldsThePeerBackAndResumesWithoutLoss) {
    TransportHarness h;
    ASSERT_TRUE(h.listening);
    auto flooder = h.connectPeer();
    h.transport.setReading(1, false);

    // The peer fills the connection until TCP stops it; nothing is announced.
    const std::string piece = Pattern(65536, 3);
    std::string sent;
    bool heldBack = false;
    for (int i = 0; i < 2000 && !heldBack; ++i) {
        const std::size_t taken = flooder->sendSome(piece);
        sent += piece.substr(0, taken);
        if (taken < piece.size()) {
            Pump(20); // the system may still move what it has; then not one byte more
            const std::size_t one = flooder->sendSome(piece.substr(0, 1));
            heldBack = one == 0;
            sent += piece.substr(0, one);
        }
    }
    EXPECT_TRUE(heldBack) << "the peer was never held back";
    EXPECT_EQ(h.count("Data 1"), 0);

    h.transport.setReading(1, true);
    ASSERT_TRUE(h.waitForBytes(1, sent.size(), 10000));
    EXPECT_EQ(h.received[1], sent);

    // A peer that leaves while reading is off goes at once, also when it left
    // bytes unread: nobody waits for a gone peer's last words.
    auto quiet = h.connectPeer();
    auto lastWords = h.connectPeer();
    h.transport.setReading(2, false);
    h.transport.setReading(3, false);
    quiet->close();
    ASSERT_TRUE(lastWords->sendAll("tot ziens"));
    lastWords->close();
    ASSERT_TRUE(WaitUntil([&] { return h.count("Close 2") == 1; }));
    ASSERT_TRUE(WaitUntil([&] { return h.count("Close 3") == 1; }));
    EXPECT_EQ(h.count("Data 3"), 0);
}
