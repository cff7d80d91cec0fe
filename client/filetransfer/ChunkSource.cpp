// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChunkSource.h"

#include "FileTransferProtocol.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace client {

using namespace filetransfer;

namespace {

QByteArray NewChunk(qint64 length) {
    // A fresh buffer each time, so the socket may keep it instead of copying.
    QByteArray chunk(length + kChunkEnd.size(), Qt::Uninitialized);
    std::memcpy(chunk.data() + length, kChunkEnd.constData(), size_t(kChunkEnd.size()));
    return chunk;
}

// Reads all of the range with `flags`; false on an error, end of file, or (RWF_NOWAIT) a wait.
bool ReadFully(int fd, char* into, qint64 offset, qint64 length, int flags) {
    while (length > 0) {
        iovec io{into, size_t(length)};
        const ssize_t n = ::preadv2(fd, &io, 1, offset, flags);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        into += n;
        offset += n;
        length -= n;
    }
    return true;
}

} // namespace

std::optional<QByteArray> ReadCached(int fd, qint64 offset, qint64 length) {
    if (fd < 0)
        return std::nullopt;
    QByteArray chunk = NewChunk(length);
    if (!ReadFully(fd, chunk.data(), offset, length, RWF_NOWAIT))
        return std::nullopt;
    return chunk;
}

ChunkSource::~ChunkSource() {
    if (m_fd >= 0)
        ::close(m_fd);
}

void ChunkSource::open(const QString& path) {
    m_fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0) {
        emit Failed();
        return;
    }
    ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    emit Opened(st.st_size);
}

void ChunkSource::read(qint64 offset, qint64 length) {
    if (m_standIn)
        m_standIn();
    QByteArray chunk = NewChunk(length);
    if (m_fd < 0 || !ReadFully(m_fd, chunk.data(), offset, length, 0)) {
        emit Failed();
        return;
    }
    {
        const QMutexLocker locker(&m_lock);
        m_ready = std::move(chunk);
    }
    emit ChunkRead();
}

void ChunkSource::prefetch(qint64 offset, qint64 length) {
    if (m_fd >= 0)
        ::posix_fadvise(m_fd, offset, length, POSIX_FADV_WILLNEED);
}

std::optional<QByteArray> ChunkSource::take() {
    const QMutexLocker locker(&m_lock);
    return std::exchange(m_ready, std::nullopt);
}

qint64 ChunkSource::readyBytes() {
    const QMutexLocker locker(&m_lock);
    return m_ready ? m_ready->size() : 0;
}

} // namespace client
