// SPDX-License-Identifier: GPL-3.0-or-later
// The epoll transport's write path over real sockets: gathering per pass, a peer
// that stops reading, the linger of our own close, and abort.
#include "TransportHarness.h"

#include <gtest/gtest.h>

using nettest::Pattern;
using nettest::TransportHarness;
using zindletest::Pump;
using zindletest::WaitUntil;

namespace {

// Sends `bytes` to the slot in pieces of `piece`, all in this pass.
void SendInPieces(net::EpollTransport& t, int slot, const std::string& bytes, std::size_t piece) {
    for (std::size_t at = 0; at < bytes.size(); at += piece)
        t.send(slot, bytes.data() + at, std::min(piece, bytes.size() - at));
}

// Lets the loop run until the slot's queue stops shrinking: the peer is full.
std::size_t WaitUntilStuck(net::EpollTransport& t, int slot) {
    std::size_t last = SIZE_MAX;
    WaitUntil([&] {
        Pump(50);
        const std::size_t now = t.unsentBytes(slot);
        const bool stuck = now == last;
        last = now;
        return stuck;
    });
    return last;
}

} // namespace

TEST(EpollTransportWrite, WhatIsSentInOnePassWaitsForItsEndAndArrivesInOrder) {
    TransportHarness h;
    ASSERT_TRUE(h.listening);
    auto a = h.connectPeer();
    auto b = h.connectPeer();

    std::string toA;
    for (int i = 0; i < 500; ++i)
        toA += "regel " + std::to_string(i) + '\0';
    SendInPieces(h.transport, 1, toA.substr(0, 3000), 7);
    const std::string big = Pattern(100000, 4); // large blocks leave at once, after what came before
    h.transport.send(1, big.data(), big.size());
    toA = toA.substr(0, 3000) + big + toA.substr(3000);
    SendInPieces(h.transport, 1, toA.substr(3000 + big.size()), 13);
    SendInPieces(h.transport, 2, "voor b", 1);
    // Small sends wait for the end of the pass; the counts see them at once.
    EXPECT_EQ(h.transport.unsentBytes(2), 6u);
    EXPECT_EQ(h.transport.totalUnsentBytes(), h.transport.unsentBytes(1) + 6u);
    h.transport.send(3, "niemand", 7); // a free slot: dropped without a trace
    h.transport.send(2, "", 0);

    EXPECT_EQ(a->readExactly(toA.size()), toA);
    EXPECT_EQ(b->readExactly(6), "voor b");
    EXPECT_EQ(h.transport.unsentBytes(1), 0u);
    EXPECT_EQ(h.transport.totalUnsentBytes(), 0u);
}

TEST(EpollTransportWrite, APeerThatStopsReadingKeepsTheRestQueuedAndItsProgressStill) {
    TransportHarness h;
    ASSERT_TRUE(h.listening);
    auto slow = h.connectPeer(4096);
    auto fine = h.connectPeer();

    const std::string bytes = Pattern(6 * 1024 * 1024, 5);
    SendInPieces(h.transport, 1, bytes.substr(0, bytes.size() / 2), 65536);
    const std::size_t stuck = WaitUntilStuck(h.transport, 1);
    ASSERT_GT(stuck, 0u);
    EXPECT_LT(stuck, bytes.size() / 2); // the system took a part, the rest waits
    const std::int64_t progress = h.transport.lastProgressMs(1);

    // Nothing moves: neither the count nor the time of the last progress, and
    // more bytes queue behind the rest. The other connection is served meanwhile.
    Pump(300);
    SendInPieces(h.transport, 1, bytes.substr(bytes.size() / 2), 65536);
    h.transport.send(2, "gaat door", 9);
    EXPECT_EQ(fine->readExactly(9), "gaat door");
    Pump(100);
    EXPECT_EQ(h.transport.lastProgressMs(1), progress);
    EXPECT_EQ(h.transport.unsentBytes(1), stuck + bytes.size() / 2);
    EXPECT_EQ(h.transport.totalUnsentBytes(), h.transport.unsentBytes(1));

    // Reading again, the peer gets everything in order and the queue empties.
    EXPECT_EQ(slow->readExactly(bytes.size(), 20000), bytes);
    ASSERT_TRUE(WaitUntil([&] { return h.transport.unsentBytes(1) == 0; }));
    EXPECT_GT(h.transport.lastProgressMs(1), progress);
    EXPECT_EQ(h.transport.totalUnsentBytes(), 0u);
}

TEST(EpollTransportWrite, BytesQueuedAtOurCloseStillLeaveThenTheConnectionEnds) {
    TransportHarness h;
    ASSERT_TRUE(h.listening);
    auto peer = h.connectPeer(4096);
    const std::string bytes = Pattern(12 * 1024 * 1024, 6);
    SendInPieces(h.transport, 1, bytes, 65536);
    ASSERT_GT(WaitUntilStuck(h.transport, 1), 0u);

    h.transport.close(1);
    EXPECT_EQ(h.transport.connectionCount(), 0u);
    EXPECT_EQ(h.transport.lingeringCount(), 1u);
    h.transport.send(1, "te laat", 7); // the slot is free: nothing more joins the queue

    std::string got;
    EXPECT_TRUE(peer->waitForEnd(&got, 20000));
    EXPECT_FALSE(peer->wasReset());
    EXPECT_EQ(got, bytes);
    peer->close(); // our side lets go once the peer has ended too
    ASSERT_TRUE(WaitUntil([&] { return h.transport.lingeringCount() == 0; }));
    EXPECT_EQ(h.transport.totalUnsentBytes(), 0u);
    EXPECT_EQ(h.count("Close 1"), 0);
}

TEST(EpollTransportWrite, ALingerThatNeverEndsIsCutOffAndAbortDropsEverythingAtOnce) {
    TransportHarness h;
    ASSERT_TRUE(h.listening);
    h.transport.setLingerMs(300);
    auto neverReads = h.connectPeer(4096);
    auto aborted = h.connectPeer(4096);
    const std::string bytes = Pattern(12 * 1024 * 1024, 7);
    SendInPieces(h.transport, 1, bytes, 65536);
    SendInPieces(h.transport, 2, bytes, 65536);
    Pump(100);
    ASSERT_GT(h.transport.unsentBytes(1), 0u);

    h.transport.abort(2);
    EXPECT_EQ(h.transport.totalUnsentBytes(), h.transport.unsentBytes(1));
    EXPECT_EQ(h.transport.lingeringCount(), 0u);
    EXPECT_TRUE(aborted->waitForEnd());
    EXPECT_TRUE(aborted->wasReset());

    h.transport.close(1);
    EXPECT_EQ(h.transport.lingeringCount(), 1u);
    ASSERT_TRUE(WaitUntil([&] { return h.transport.lingeringCount() == 0; }, 5000));
    EXPECT_EQ(h.transport.totalUnsentBytes(), 0u);
    std::string got;
    EXPECT_TRUE(neverReads->waitForEnd(&got));
    EXPECT_TRUE(neverReads->wasReset());
    EXPECT_LT(got.size(), bytes.size());
    EXPECT_EQ(h.count("Close 1") + h.count("Close 2"), 0);
}
