// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChunkSource.h"

#include "FileTransferProtocol.h"

#include <cstring>

namespace client {

using namespace filetransfer;

void ChunkSource::open(const QString& path) {
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        emit Failed();
        return;
    }
    emit Opened(m_file.size());
}

void ChunkSource::read(qint64 length) {
    if (m_standIn)
        m_standIn();
    // A fresh buffer each time, so the socket may keep it instead of copying.
    QByteArray chunk(length + kChunkEnd.size(), Qt::Uninitialized);
    if (!m_file.isOpen() || m_file.read(chunk.data(), length) != length) {
        m_file.close();
        emit Failed();
        return;
    }
    std::memcpy(chunk.data() + length, kChunkEnd.constData(), size_t(kChunkEnd.size()));
    {
        const QMutexLocker locker(&m_lock);
        m_ready.push_back(std::move(chunk));
    }
    if (m_wakeWanted.exchange(false))
        emit ChunkRead();
}

std::optional<QByteArray> ChunkSource::take() {
    const QMutexLocker locker(&m_lock);
    if (m_ready.empty())
        return std::nullopt;
    QByteArray chunk = std::move(m_ready.front());
    m_ready.pop_front();
    return chunk;
}

qint64 ChunkSource::readyBytes() {
    const QMutexLocker locker(&m_lock);
    qint64 bytes = 0;
    for (const QByteArray& chunk : m_ready)
        bytes += chunk.size();
    return bytes;
}

} // namespace client
