// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The sender's disk work, run on its DiskThread: opens the file and reads it
// chunk by chunk, each chunk handed back with its "CHUNKEND" already behind
// it, ready to leave in one write. Results come back as queued signals.
#include <QByteArray>
#include <QFile>
#include <QObject>
#include <functional>

namespace client {

class ChunkSource : public QObject {
    Q_OBJECT
public:
    ChunkSource() = default;

    // On the disk thread, in the order posted.
    void open(const QString& path);
    // The next `length` bytes, from where the previous read ended.
    void read(qint64 length);

    // Tests: runs on the disk thread before every read (a slow disk).
    void setStandIn(std::function<void()> standIn) { m_standIn = std::move(standIn); }

signals:
    void Opened(qint64 size);
    void ChunkRead(const QByteArray& chunk);
    void Failed();

private:
    QFile m_file;
    std::function<void()> m_standIn;
};

} // namespace client
