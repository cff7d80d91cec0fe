// SPDX-License-Identifier: GPL-3.0-or-later
// A sender that never waits for "NEXTCHUNK" streams the whole file at once; the
// receiver, with a slow disk, must keep its memory bounded and still end with
// the file exactly as sent (or fail cleanly).
#include "TransferHarness.h"
#include "client/filetransfer/FileReceiver.h"
#include "client/filetransfer/FileTransferProtocol.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

using client::FileReceiver;
using namespace client::filetransfer;

namespace {

// Everything the protocol would send, written the moment the receiver accepts.
class FloodingSender {
public:
    explicit FloodingSender(QByteArray content) : content_(std::move(content)) {
        server_.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            peer_ = server_.nextPendingConnection();
            QObject::connect(peer_, &QTcpSocket::readyRead, [this] {
                const QByteArray words = peer_->readAll();
                requests_ += int(words.count(kNextChunk));
                if (!flooded_ && words.contains(kAccept))
                    flood();
            });
        });
    }
    quint16 port() const { return server_.serverPort(); }
    int requests() const { return requests_; }

private:
    void flood() {
        flooded_ = true;
        peer_->write(kSizePrefix + QByteArray::number(content_.size()));
        for (qsizetype at = 0; at < content_.size(); at += kChunkSize)
            peer_->write(content_.mid(at, kChunkSize) + kChunkEnd);
        peer_->write(kEndFile);
    }

    QByteArray content_;
    QTcpServer server_;
    QTcpSocket* peer_ = nullptr;
    bool flooded_ = false;
    int requests_ = 0;
};

TEST(FloodTest, ASenderThatNeverWaitsCannotFillTheReceiversMemory) {
    const QByteArray content = fttest::RandomBytes(48 * 1024 * 1024 + 12345, 20);
    FloodingSender sender(content);
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("flood.bin"));

    FileReceiver receiver;
    // A disk a good deal slower than loopback.
    receiver.setDiskStandIn([] { QThread::usleep(3000); });
    qint64 mostUnwritten = 0;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout,
                     [&] { mostUnwritten = std::max(mostUnwritten, receiver.unwritten()); });
    watch.start(1);
    receiver.Start(QStringLiteral("127.0.0.1"), sender.port());
    ASSERT_TRUE(fttest::WaitFor([&] { return receiver.connectionOpen(); }));
    receiver.Accept(target, false);
    ASSERT_TRUE(fttest::WaitFor([&] { return receiver.Finished(); }, 60000))
        << receiver.status().toStdString();

    // The usual bound, plus what one read can bring: the system's receive buffer.
    EXPECT_LE(mostUnwritten, FileReceiver::kMaxUnwritten + 8 * 1024 * 1024);
    if (receiver.state() == FileReceiver::State::Done) {
        EXPECT_EQ(fttest::Hash(target), QCryptographicHash::hash(content, QCryptographicHash::Sha256));
    } else {
        EXPECT_EQ(receiver.state(), FileReceiver::State::Failed);
        EXPECT_FALSE(QFile::exists(target));
    }
    // Chunks nobody asked for earned no requests of their own.
    EXPECT_LE(sender.requests(), content.size() / kChunkSize + 2);
}

} // namespace
