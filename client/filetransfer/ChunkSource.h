// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The sender's disk work, run on its DiskThread: opens the file, asks the
// system to bring the coming chunks into memory, and reads a chunk itself
// when the window thread could not take it from memory without waiting.
//
// The window thread reads with ReadCached(): from the page cache only, never
// waiting for the disk (RWF_NOWAIT). A miss is read here instead, and handed
// over with take() after ChunkRead().
#include <QByteArray>
#include <QMutex>
#include <QObject>
#include <functional>
#include <optional>

namespace client {

class ChunkSource : public QObject {
    Q_OBJECT
public:
    ChunkSource() = default;
    ~ChunkSource() override;

    // On the disk thread, in the order posted.
    void open(const QString& path);
    // A chunk of `length` bytes at `offset`, "CHUNKEND" behind it; ChunkRead() when it is there.
    void read(qint64 offset, qint64 length);
    // Starts reading the range into memory without waiting for it.
    void prefetch(qint64 offset, qint64 length);

    // From the window thread, once Opened() came: the file, for ReadCached().
    int fd() const { return m_fd; }
    // From the window thread: the chunk read here, if it is there; the bytes waiting.
    std::optional<QByteArray> take();
    qint64 readyBytes();

    // Tests: runs on the disk thread before every read (a slow disk).
    void setStandIn(std::function<void()> standIn) { m_standIn = std::move(standIn); }

signals:
    void Opened(qint64 size);
    void ChunkRead();
    void Failed();

private:
    int m_fd = -1;
    QMutex m_lock; // guards m_ready
    std::optional<QByteArray> m_ready;
    std::function<void()> m_standIn;
};

// A chunk of `length` bytes at `offset` with "CHUNKEND" behind it, when all of
// it is in the page cache; nothing when reading it would wait for the disk.
std::optional<QByteArray> ReadCached(int fd, qint64 offset, qint64 length);

} // namespace client
