// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The receiver's disk work, run on its DiskThread: creates the PartialFile,
// appends the blocks in the order they are posted, and commits or discards it.
// Results come back as signals, queued to the window thread.
#include "PartialFile.h"

#include <QByteArray>
#include <QObject>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

namespace client {

class FileWriter : public QObject {
    Q_OBJECT
public:
    FileWriter(QString targetPath, bool mayReplace);
    ~FileWriter() override;

    // Bytes of a received block, which is shared, not copied.
    struct Piece {
        QByteArray block;
        qsizetype offset = 0;
        qsizetype length = 0;
    };

    // On the disk thread, in the order posted.
    void open();
    void write(const std::vector<Piece>& pieces);
    void commit();
    // Removes the file, also one committed just before the user cancelled.
    void discard();

    // Set from the window thread: blocks still queued are not written any more.
    void abandon() { m_abandoned = true; }
    // Read from the window thread: bytes written so far.
    qint64 written() const { return m_written; }
    // From the window thread: raise Written() once after the next write. Only
    // then: a signal for every block would wake the window thread for nothing.
    void wakeWhenWritten() { m_wakeWanted = true; }
    // Tests: runs on the disk thread before every batch of writes (a slow disk).
    void setStandIn(std::function<void()> standIn) { m_standIn = std::move(standIn); }

signals:
    void OpenFailed();
    void Written();
    void WriteFailed();
    void Committed();

private:
    std::unique_ptr<PartialFile> m_file;
    std::atomic<bool> m_abandoned{false};
    std::atomic<qint64> m_written{0};
    std::atomic<bool> m_wakeWanted{false};
    bool m_broken = false;
    bool m_committed = false;
    std::function<void()> m_standIn;
};

} // namespace client
