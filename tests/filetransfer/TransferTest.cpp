// SPDX-License-Identifier: GPL-3.0-or-later
// Whole transfers between the two state machines over 127.0.0.1.
#include "TransferHarness.h"
#include "client/filetransfer/FileReceiver.h"
#include "client/filetransfer/FileSender.h"
#include "client/filetransfer/FileTransferProtocol.h"

#include <QPointer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using client::FileReceiver;
using client::FileSender;
using namespace client::filetransfer;
using namespace fttest;
using SS = FileSender::State;
using RS = FileReceiver::State;

namespace {

class FileTransfer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(src.isValid() && dst.isValid());
        source = src.filePath("source.bin");
        target = dst.filePath("target.bin");
        receiver = new FileReceiver;
        sender = new FileSender;
    }
    void TearDown() override {
        delete receiver;
        delete sender;
    }
    // Offer, connect and wait for the question.
    void Offer(const QByteArray& content, const QString& senderAddress = QStringLiteral("127.0.0.1")) {
        WriteFile(source, content);
        ASSERT_TRUE(sender->StartOffer(source));
        receiver->Start(senderAddress, sender->port());
        ASSERT_TRUE(
            WaitFor([&] { return sender->state() == SS::AwaitingAnswer && receiver->connectionOpen(); }));
    }
    void ExpectNothingLeftBehind(const QStringList& expected = {}) {
        EXPECT_EQ(Entries(dst.path()), expected);
    }

    QTemporaryDir src, dst;
    QString source, target;
    QPointer<FileSender> sender;
    FileReceiver* receiver = nullptr;
};

QByteArray WithKeywords(qsizetype size) {
    QByteArray b = RandomBytes(size, unsigned(size));
    const std::pair<qsizetype, QByteArray> plants[] = {{0, kSenderStop},
                                                       {kChunkSize - 3, kChunkEnd},
                                                       {kChunkSize, kSenderStop},
                                                       {kChunkSize + 20, kEndFile},
                                                       {2 * kChunkSize - 8, kChunkEnd},
                                                       {size - 7, kEndFile}};
    for (const auto& [at, word] : plants)
        if (at >= 0 && at + word.size() <= size)
            b.replace(at, word.size(), word);
    return b;
}

} // namespace

TEST_F(FileTransfer, EverySizeArrivesIdentical) {
    const std::vector<QByteArray> files = {QByteArray(),
                                           QByteArray("z"),
                                           RandomBytes(kChunkSize - 1, 1),
                                           RandomBytes(kChunkSize, 2),
                                           RandomBytes(kChunkSize + 1, 3),
                                           RandomBytes(15 * kChunkSize + 5, 4),
                                           WithKeywords(3 * kChunkSize + 11),
                                           kSenderStop,
                                           kSenderStop + kChunkEnd + kEndFile};
    for (const QByteArray& content : files) {
        SCOPED_TRACE(content.size());
        TearDown();
        SetUp();
        QFile::remove(target);
        Offer(content);
        int redraws = 0;
        QObject::connect(sender, &FileSender::ProgressChanged, [&] { ++redraws; });
        receiver->Accept(target, false);
        ASSERT_TRUE(WaitFor([&] { return sender->state() == SS::Done && !receiver->connectionOpen(); }));
        // Every fifteenth chunk, and once more at the end.
        EXPECT_EQ(redraws, int((content.size() + kChunkSize - 1) / kChunkSize / 15) + 1);
        EXPECT_EQ(receiver->state(), RS::Done);
        EXPECT_EQ(receiver->status(), "Overdracht voltooid");
        EXPECT_EQ(sender->status(), "Overdracht voltooid");
        EXPECT_EQ(receiver->progress(), 100);
        EXPECT_EQ(sender->progress(), 100);
        EXPECT_EQ(receiver->BytesReceived(), content.size());
        EXPECT_EQ(Hash(target), Hash(source));
        ExpectNothingLeftBehind({"target.bin"});
    }
}

// The sender listens on both families: the offer may carry either address.
TEST_F(FileTransfer, AFileTravelsOverEitherFamily) {
    for (const QString& address : {QStringLiteral("::1"), QStringLiteral("127.0.0.1")}) {
        SCOPED_TRACE(address.toStdString());
        TearDown();
        SetUp();
        QFile::remove(target);
        const QByteArray content = RandomBytes(3 * kChunkSize + 7, 9);
        Offer(content, address);
        receiver->Accept(target, false);
        ASSERT_TRUE(WaitFor([&] { return sender->state() == SS::Done && !receiver->connectionOpen(); }));
        EXPECT_EQ(receiver->state(), RS::Done);
        EXPECT_EQ(Hash(target), Hash(source));
    }
}

TEST_F(FileTransfer, RefusalAndTheOffersTimeOut) {
    Offer("data");
    receiver->Refuse();
    ASSERT_TRUE(WaitFor([&] { return sender->state() == SS::Refused; }));
    EXPECT_EQ(sender->status(), "De client heeft het bestand geweigerd!");
    EXPECT_TRUE(sender->statusAlarm());
    EXPECT_FALSE(sender->Sending());

    FileSender lonely;
    lonely.setOfferTimeout(100);
    ASSERT_TRUE(lonely.StartOffer(source));
    ASSERT_TRUE(WaitFor([&] { return lonely.state() == SS::Idle; }, 3000));
    EXPECT_EQ(lonely.status(), "De client heeft niet op tijd gereageerd");
    // A new offer listens again, and a receiver that comes now is served.
    ASSERT_TRUE(lonely.StartOffer(source));
    FileReceiver late;
    late.Start("127.0.0.1", lonely.port());
    ASSERT_TRUE(WaitFor([&] { return lonely.state() == SS::AwaitingAnswer; }));
}

TEST_F(FileTransfer, SenderCancelsInEveryState) {
    // While offering: nothing was said, and nobody can connect any more.
    WriteFile(source, "abc");
    ASSERT_TRUE(sender->StartOffer(source));
    const quint16 port = sender->port();
    sender->Cancel();
    EXPECT_EQ(sender->state(), SS::Idle);
    EXPECT_EQ(sender->status(), "Verbinding geannuleerd");
    receiver->Start("127.0.0.1", port);
    WaitFor([] { return false; }, 200);
    EXPECT_FALSE(receiver->connectionOpen());

    // While the receiving user is asked.
    TearDown();
    SetUp();
    Offer("abc");
    sender->Cancel();
    EXPECT_EQ(sender->state(), SS::Idle); // not accepted: the window may offer again
    ASSERT_TRUE(WaitFor([&] { return receiver->state() == RS::CancelledBySender; }));
    EXPECT_EQ(receiver->status(), "Overdracht geannuleerd door server");

    // Right after the size message, and in the middle of the chunks.
    for (bool midway : {false, true}) {
        TearDown();
        SetUp();
        Offer(RandomBytes(40 * kChunkSize, 9));
        if (midway)
            QObject::connect(receiver, &FileReceiver::ProgressChanged, sender, &FileSender::Cancel);
        else
            QObject::connect(receiver, &FileReceiver::StateChanged, sender, [this](RS s) {
                if (s == RS::Receiving)
                    sender->Cancel();
            });
        receiver->Accept(target, false);
        ASSERT_TRUE(WaitFor([&] { return receiver->Finished(); }));
        EXPECT_EQ(sender->state(), SS::Cancelled);
        EXPECT_EQ(sender->status(), "Verbinding geannuleerd");
        EXPECT_EQ(receiver->state(), RS::CancelledBySender);
        ExpectNothingLeftBehind();
    }
}

TEST_F(FileTransfer, ReceiverCancelsInEveryState) {
    Offer("abc"); // before answering
    receiver->Cancel();
    EXPECT_EQ(receiver->status(), "Geannuleerd door gebruiker...");
    ASSERT_TRUE(WaitFor([&] { return sender->state() == SS::CancelledByPeer; }));
    EXPECT_EQ(sender->status(), "De client heeft de overdracht geannuleerd");

    // Right after accepting ("ACPT" and "STOP" may reach the sender in one block), and midway.
    for (bool midway : {false, true}) {
        TearDown();
        SetUp();
        WriteFile(target, "old contents the user agreed to replace");
        const QByteArray before = Hash(target);
        Offer(RandomBytes(40 * kChunkSize, 5));
        if (midway)
            QObject::connect(receiver, &FileReceiver::ProgressChanged, receiver, &FileReceiver::Cancel);
        receiver->Accept(target, true);
        if (!midway)
            receiver->Cancel();
        ASSERT_TRUE(WaitFor([&] { return sender->state() == SS::CancelledByPeer; }));
        EXPECT_EQ(receiver->state(), RS::Cancelled);
        EXPECT_FALSE(receiver->FileOpen());
        EXPECT_EQ(Hash(target), before); // the old file is untouched
        ExpectNothingLeftBehind({"target.bin"});
    }
}

TEST_F(FileTransfer, ABrokenConnectionOrAnUnwritableTargetLeavesNothing) {
    Offer(RandomBytes(40 * kChunkSize, 6));
    QObject::connect(receiver, &FileReceiver::ProgressChanged, sender, &QObject::deleteLater);
    receiver->Accept(target, false);
    ASSERT_TRUE(WaitFor([&] { return receiver->Finished(); }));
    EXPECT_EQ(receiver->state(), RS::Broken);
    EXPECT_EQ(receiver->status(), "Verbinding plotseling afgebroken");
    ExpectNothingLeftBehind();

    TearDown();
    SetUp();
    Offer("abc");
    receiver->Accept(dst.filePath("no/such/folder/x.bin"), false);
    ASSERT_TRUE(WaitFor([&] { return sender->state() == SS::CancelledByPeer; }));
    EXPECT_EQ(receiver->state(), RS::Failed);
    EXPECT_EQ(receiver->status(), "Het bestand kan niet worden aangemaakt");
    ExpectNothingLeftBehind();
}

TEST_F(FileTransfer, AReceiveWindowClosedMidwayOrASourceThatShrinksLeavesNothing) {
    Offer(RandomBytes(40 * kChunkSize, 8));
    QPointer<FileReceiver> closing = receiver;
    receiver = nullptr; // goes with its window, as the close box does
    QObject::connect(closing, &FileReceiver::ProgressChanged, closing, &QObject::deleteLater);
    closing->Accept(target, false);
    ASSERT_TRUE(WaitFor([&] { return !closing; }));
    ExpectNothingLeftBehind();

    TearDown();
    SetUp();
    Offer(RandomBytes(3 * kChunkSize, 9));
    QObject::connect(receiver, &FileReceiver::StateChanged, receiver, [this](RS s) {
        if (s == RS::Receiving)
            QFile::resize(source, 10);
    });
    receiver->Accept(target, false);
    ASSERT_TRUE(WaitFor([&] { return receiver->Finished(); }));
    EXPECT_EQ(sender->state(), SS::Failed);
    EXPECT_EQ(sender->status(), "Fout bij het lezen van het bestand");
    EXPECT_EQ(receiver->state(), RS::CancelledBySender);
    ExpectNothingLeftBehind();
}

TEST_F(FileTransfer, AnExistingFileIsReplacedOnlyWithConsent) {
    WriteFile(target, "old");
    Offer("new contents");
    receiver->Accept(target, true);
    ASSERT_TRUE(WaitFor([&] { return sender->state() == SS::Done; }));
    EXPECT_EQ(Hash(target), Hash(source));

    TearDown();
    SetUp();
    WriteFile(target, "old");
    Offer("new contents");
    receiver->Accept(target, false); // a file appeared after the question was asked
    ASSERT_TRUE(WaitFor([&] { return receiver->Finished(); }));
    EXPECT_EQ(receiver->state(), RS::Failed);
    EXPECT_EQ(Hash(target), QCryptographicHash::hash("old", QCryptographicHash::Sha256));
    ExpectNothingLeftBehind({"target.bin"});
}
