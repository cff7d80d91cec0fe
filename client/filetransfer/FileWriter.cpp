// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileWriter.h"

#include <QFile>

namespace client {

FileWriter::FileWriter(QString targetPath, bool mayReplace)
    : m_file(std::make_unique<PartialFile>(std::move(targetPath), mayReplace)) {}

FileWriter::~FileWriter() = default; // an uncommitted file is discarded with it

void FileWriter::open() {
    if (m_abandoned)
        return;
    if (!m_file->open()) {
        m_broken = true;
        emit OpenFailed();
    }
}

void FileWriter::write(const std::vector<Piece>& pieces) {
    if (m_abandoned || m_broken)
        return;
    if (m_standIn)
        m_standIn();
    qint64 length = 0;
    for (const Piece& piece : pieces) {
        if (!m_file->write(piece.block.constData() + piece.offset, piece.length)) {
            m_broken = true;
            m_file->discard();
            emit WriteFailed();
            return;
        }
        length += piece.length;
    }
    m_written += length;
    if (m_wakeWanted.exchange(false))
        emit Written();
}

void FileWriter::commit() {
    if (m_abandoned || m_broken)
        return;
    if (!m_file->commit()) {
        m_broken = true;
        emit WriteFailed();
        return;
    }
    m_committed = true;
    emit Committed();
}

void FileWriter::discard() {
    m_file->discard();
    if (m_committed)
        QFile::remove(m_file->targetPath());
    m_committed = false;
}

} // namespace client
