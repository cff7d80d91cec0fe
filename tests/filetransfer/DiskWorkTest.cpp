// SPDX-License-Identifier: GPL-3.0-or-later
// The disk side of a transfer: files that are private and durable, nothing left
// behind after a crash, and a window thread that keeps serving while the disk
// is slow.
#include "TransferHarness.h"
#include "client/filetransfer/FileReceiver.h"
#include "client/filetransfer/FileSender.h"
#include "client/filetransfer/FileTransferProtocol.h"
#include "client/filetransfer/PartialFile.h"

#include <QSemaphore>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <gtest/gtest.h>
#include <sys/stat.h>

using client::FileReceiver;
using client::FileSender;
using client::PartialFile;
using namespace client::filetransfer;
using namespace fttest;
using Step = PartialFile::Step;

namespace {

mode_t ModeOf(const QString& path) {
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 0777;
}

// Sets the umask for one scope.
struct Umask {
    explicit Umask(mode_t mask) : old(::umask(mask)) {}
    ~Umask() { ::umask(old); }
    mode_t old;
};

} // namespace

TEST(PartialFile, HonoursTheUmaskAndIsOnDiskBeforeItTakesItsName) {
    QTemporaryDir dir;
    for (bool anonymous : {true, false})
        for (bool replace : {false, true}) {
            SCOPED_TRACE(QStringLiteral("anonymous %1 replace %2").arg(anonymous).arg(replace).toStdString());
            const QString target = dir.filePath("file.bin");
            QFile::remove(target);
            if (replace)
                WriteFile(target, "old");
            const Umask mask(027);
            std::vector<Step> steps;
            {
                PartialFile file(target, replace);
                file.setAnonymousAllowed(anonymous);
                file.setStepObserver([&](Step s) { steps.push_back(s); });
                ASSERT_TRUE(file.open());
                EXPECT_EQ(file.anonymous(), anonymous);
                ASSERT_TRUE(file.write("contents", 8));
                // Until it is complete the target holds what it held before.
                EXPECT_EQ(Entries(dir.path()).contains("file.bin"), replace);
                ASSERT_TRUE(file.commit());
            }
            EXPECT_EQ(ModeOf(target), mode_t(0640));
            QFile f(target);
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            EXPECT_EQ(f.readAll(), "contents");
            // The data is flushed first, the folder last.
            ASSERT_GE(steps.size(), 3u);
            EXPECT_EQ(steps.front(), Step::Sync);
            EXPECT_EQ(steps.back(), Step::SyncFolder);
            EXPECT_EQ(Entries(dir.path()), QStringList{"file.bin"});
        }
}

TEST(PartialFile, NothingIsLeftAfterACrashAndOnlyStaleTemporariesAreSwept) {
    QTemporaryDir dir;
    // An anonymous file has no name to leave behind.
    {
        PartialFile file(dir.filePath("a.bin"), false);
        ASSERT_TRUE(file.open());
        ASSERT_TRUE(file.anonymous()); // the test folder's file system has them
        ASSERT_TRUE(file.write("x", 1));
        EXPECT_TRUE(Entries(dir.path()).isEmpty());
    }
    // Named temporaries: one left by a crashed client (nobody holds it), one
    // being written right now by another transfer, and a user's own file.
    PartialFile busy(dir.filePath("c.bin"), false);
    busy.setAnonymousAllowed(false);
    ASSERT_TRUE(busy.open());
    WriteFile(dir.filePath(".b.bin.zindlechat-0123abcd.part"), "half a file");
    WriteFile(dir.filePath(".notes.part"), "mine");
    ASSERT_EQ(Entries(dir.path()).size(), 3);

    PartialFile next(dir.filePath("d.bin"), false);
    next.setAnonymousAllowed(false);
    ASSERT_TRUE(next.open()); // sweeps first
    const QStringList left = Entries(dir.path());
    EXPECT_FALSE(left.contains(".b.bin.zindlechat-0123abcd.part"));
    EXPECT_TRUE(left.contains(".notes.part"));
    EXPECT_EQ(left.size(), 3); // the user's file, the busy temporary and the new one
    ASSERT_TRUE(busy.write("y", 1));
    ASSERT_TRUE(busy.commit());
    next.discard();
    EXPECT_EQ(Entries(dir.path()), (QStringList{".notes.part", "c.bin"}));
}

TEST(DiskWork, TheWindowThreadKeepsServingWhileTheDiskIsStuck) {
    QTemporaryDir src, dst;
    const QString source = src.filePath("source.bin"), target = dst.filePath("target.bin");
    const QByteArray content = RandomBytes(100 * kChunkSize + 3, 21);
    WriteFile(source, content);

    // A disk that hangs on the first write until the test lets it go.
    QSemaphore entered, release;
    std::atomic<int> writes{0};
    FileSender sender;
    sender.setDiskStandIn([] {}); // and every chunk is read by the sender's disk thread
    FileReceiver receiver;
    receiver.setDiskStandIn([&] {
        if (writes++ == 0) {
            entered.release();
            release.tryAcquire(1, 20000);
        }
    });
    ASSERT_TRUE(sender.StartOffer(source));
    receiver.Start("127.0.0.1", sender.port());
    ASSERT_TRUE(WaitFor([&] { return receiver.connectionOpen(); }));
    receiver.Accept(target, false);
    ASSERT_TRUE(WaitFor([&] { return entered.available() > 0; }));

    // With the disk stuck, timers still fire and chunks keep arriving, until
    // the bytes waiting for the disk reach their bound; then the requests stop.
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(5);
    EXPECT_TRUE(
        WaitFor([&] { return ticks >= 3 && receiver.BytesReceived() > FileReceiver::kMaxUnwritten; }));
    zindletest::Pump(200);
    EXPECT_EQ(receiver.state(), FileReceiver::State::Receiving);
    EXPECT_LT(receiver.BytesReceived(), content.size());
    EXPECT_LE(receiver.unwritten(), FileReceiver::kMaxUnwritten + kChunkSize);

    release.release();
    ASSERT_TRUE(WaitFor([&] { return receiver.state() == FileReceiver::State::Done; }, 20000));
    EXPECT_EQ(Hash(target), Hash(source));
}
