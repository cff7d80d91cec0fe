// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The sender's disk work, run on its DiskThread: opens the file and reads it
// chunk by chunk, each chunk kept with its "CHUNKEND" already behind it,
// ready to leave in one write. The window thread takes the chunks when it
// needs them; a signal for every chunk would wake it for nothing, so
// ChunkRead() comes only when it asked for one.
#include <QByteArray>
#include <QFile>
#include <QMutex>
#include <QObject>
#include <atomic>
#include <deque>
#include <functional>
#include <optional>

namespace client {

class ChunkSource : public QObject {
    Q_OBJECT
public:
    ChunkSource() = default;

    // On the disk thread, in the order posted.
    void open(const QString& path);
    // The next `length` bytes, from where the previous read ended.
    void read(qint64 length);

    // From the window thread: the oldest chunk read, if there is one; the bytes waiting.
    std::optional<QByteArray> take();
    qint64 readyBytes();
    // From the window thread: raise ChunkRead() once after the next read.
    void wakeWhenRead() { m_wakeWanted = true; }

    // Tests: runs on the disk thread before every read (a slow disk).
    void setStandIn(std::function<void()> standIn) { m_standIn = std::move(standIn); }

signals:
    void Opened(qint64 size);
    void ChunkRead();
    void Failed();

private:
    QFile m_file;
    QMutex m_lock; // guards m_ready
    std::deque<QByteArray> m_ready;
    std::atomic<bool> m_wakeWanted{false};
    std::function<void()> m_standIn;
};

} // namespace client
