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

namespace client {

class FileWriter : public QObject {
    Q_OBJECT
public:
    FileWriter(QString targetPath, bool mayReplace);
    ~FileWriter() override;

    // On the disk thread, in the order posted.
    void open();
    void write(const QByteArray& block, qsizetype offset, qsizetype length);
    void commit();
    // Removes the file, also one committed just before the user cancelled.
    void discard();

    // Set from the window thread: blocks still queued are not written any more.
    void abandon() { m_abandoned = true; }
    // Tests: runs on the disk thread before every write (a slow disk).
    void setStandIn(std::function<void()> standIn) { m_standIn = std::move(standIn); }

signals:
    void OpenFailed();
    void Written(qint64 bytes);
    void WriteFailed();
    void Committed();

private:
    std::unique_ptr<PartialFile> m_file;
    std::atomic<bool> m_abandoned{false};
    bool m_broken = false;
    bool m_committed = false;
    std::function<void()> m_standIn;
};

} // namespace client
