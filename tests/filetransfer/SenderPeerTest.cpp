// SPDX-License-Identifier: GPL-3.0-or-later
// The sender against peers that do not keep in step: one that asks for many
// chunks at once and reads slowly, and one that hangs up in the middle.
#include "TransferHarness.h"
#include "client/filetransfer/FileSender.h"
#include "client/filetransfer/FileTransferProtocol.h"

#include <QTcpSocket>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using client::FileSender;
using namespace client::filetransfer;
using namespace fttest;
using SS = FileSender::State;

namespace {

class SenderPeer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        source = dir.filePath("source.bin");
    }
    // Offers `content` and connects a plain socket as the receiver.
    void Connect(const QByteArray& content) {
        WriteFile(source, content);
        ASSERT_TRUE(sender.StartOffer(source));
        peer.setReadBufferSize(64 * 1024); // what the test does not read stays in the system
        peer.connectToHost(QStringLiteral("127.0.0.1"), sender.port());
        ASSERT_TRUE(WaitFor([&] { return sender.state() == SS::AwaitingAnswer; }));
    }
    QByteArray ReadUntil(qsizetype size) {
        QByteArray got;
        WaitFor(
            [&] {
                got += peer.readAll();
                return got.size() >= size;
            },
            20000);
        return got;
    }

    QTemporaryDir dir;
    QString source;
    FileSender sender;
    QTcpSocket peer;
};

TEST_F(SenderPeer, ManyRequestsAtOnceAreAnsweredInOrderWithAtMostTwoChunksUnsent) {
    // More than the system's buffers on both sides take while the peer does not read.
    const int chunks = 300;
    const QByteArray content = RandomBytes(chunks * kChunkSize - 5, 11);
    Connect(content);
    peer.write(kAccept);
    const QByteArray size = kSizePrefix + QByteArray::number(content.size());
    ASSERT_EQ(ReadUntil(size.size()), size);

    // Every request at once, far more than the file has chunks, and nothing read for a while.
    peer.write(kNextChunk.repeated(chunks + 50));
    peer.flush();
    qint64 mostUnsent = 0;
    ASSERT_TRUE(WaitFor([&] {
        mostUnsent = std::max(mostUnsent, sender.bytesUnsent());
        return sender.requestsWaiting() > 0 && sender.requestsWaiting() < chunks + 50 &&
               sender.BytesSent() > 0;
    }));
    zindletest::Pump(300);
    mostUnsent = std::max(mostUnsent, sender.bytesUnsent());
    EXPECT_GT(sender.requestsWaiting(), 0); // the rest wait as a count
    EXPECT_LE(mostUnsent, 2 * (kChunkSize + kChunkEnd.size()));

    // Served as the peer reads: every chunk in order, then "ENDFILE" once, and no more.
    QByteArray expected;
    for (qsizetype at = 0; at < content.size(); at += kChunkSize)
        expected += content.mid(at, kChunkSize) + kChunkEnd;
    expected += kEndFile;
    QByteArray got;
    ASSERT_TRUE(WaitFor(
        [&] {
            mostUnsent = std::max(mostUnsent, sender.bytesUnsent());
            got += peer.readAll();
            return got.size() >= expected.size() && sender.state() == SS::Finishing;
        },
        20000));
    zindletest::Pump(50);
    got += peer.readAll();
    EXPECT_TRUE(got == expected);
    EXPECT_LE(mostUnsent, 2 * (kChunkSize + kChunkEnd.size()));
    EXPECT_EQ(sender.requestsWaiting(), 0);

    peer.write(kBye);
    ASSERT_TRUE(WaitFor([&] { return sender.state() == SS::Done; }));
}

TEST_F(SenderPeer, AReceiverThatHangsUpIsAFailedTransferTheButtonCancels) {
    for (bool accepted : {false, true}) {
        SCOPED_TRACE(accepted);
        Connect(RandomBytes(40 * kChunkSize, 12));
        if (accepted) {
            peer.write(kAccept);
            ReadUntil(1);
            peer.write(kNextChunk);
            ReadUntil(kChunkSize);
        }
        peer.abort();
        ASSERT_TRUE(WaitFor([&] { return sender.state() == SS::Failed; }));
        EXPECT_EQ(sender.status(), "Fout in de overdracht");
        EXPECT_TRUE(sender.Sending()); // the send button reads "Annuleren"
        sender.Cancel();
        EXPECT_EQ(sender.state(), accepted ? SS::Cancelled : SS::Idle);
        EXPECT_EQ(sender.status(), "Verbinding geannuleerd");
    }
}

} // namespace
