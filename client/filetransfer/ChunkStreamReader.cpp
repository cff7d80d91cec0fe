// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChunkStreamReader.h"

#include "FileTransferProtocol.h"

namespace client {

using namespace filetransfer;
using Kind = ChunkStreamReader::Event::Kind;

namespace {
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
// More digits than this cannot be a size we accept; stop reading before the number overflows.
constexpr qsizetype kMaxSizeDigits = 12;
} // namespace

void ChunkStreamReader::enterChunk() {
    m_chunkSize = std::min(kChunkSize, m_left);
    m_chunkLeft = m_chunkSize;
    m_held.clear();
    m_phase = Phase::ChunkStart;
}

void ChunkStreamReader::afterChunk() {
    m_left -= m_chunkSize;
    m_held.clear();
    if (m_left > 0)
        enterChunk();
    else
        m_phase = Phase::EndPosition;
}

void ChunkStreamReader::fail(std::vector<Event>& out) {
    m_phase = Phase::Broken;
    m_held.clear();
    out.push_back({Kind::Error, 0, {}});
}

void ChunkStreamReader::takeSize(std::vector<Event>& out) {
    const qint64 size = m_held.mid(kSizePrefix.size()).toLongLong();
    if (size > kMaxFileSize)
        return fail(out);
    m_fileSize = m_left = size;
    out.push_back({Kind::Size, size, {}});
    m_held.clear();
    if (m_left > 0)
        enterChunk();
    else
        m_phase = Phase::EndPosition;
}

bool ChunkStreamReader::closedAfterSenderStop() const {
    return m_phase == Phase::ChunkStart && m_held == kSenderStop;
}

// The phases whose words are short are read one byte at a time. False when the
// byte was not taken because it begins the next phase.
bool ChunkStreamReader::readByte(char c, std::vector<Event>& out) {
    switch (m_phase) {
    case Phase::WaitSize: {
        // "FILE" + digits, or the sender's cancel, which starts the same way.
        const qsizetype k = m_held.size();
        const bool inDigits = k > kSizePrefix.size() && IsDigit(m_held.at(kSizePrefix.size()));
        if (inDigits && !IsDigit(c)) {
            takeSize(out); // the size ended where something else begins
            return false;
        }
        if (inDigits || (k == kSizePrefix.size() && IsDigit(c))) {
            if (k - kSizePrefix.size() >= kMaxSizeDigits)
                fail(out);
            else
                m_held.append(c);
            return true;
        }
        if (k < kSenderStop.size() && kSenderStop.at(k) == c) {
            m_held.append(c);
            if (m_held == kSenderStop) {
                m_phase = Phase::Ended;
                out.push_back({Kind::SenderStop, 0, {}});
            }
            return true;
        }
        fail(out);
        return true;
    }
    case Phase::Marker:
        if (kChunkEnd.at(m_markerMatched) != c) {
            fail(out);
        } else if (++m_markerMatched == kChunkEnd.size()) {
            out.push_back({Kind::ChunkEnd, 0, {}});
            afterChunk();
        }
        return true;
    case Phase::EndPosition:
        m_held.append(c);
        if (m_held == kEndFile) {
            m_phase = Phase::Ended;
            out.push_back({Kind::EndFile, 0, {}});
        } else if (m_held == kSenderStop) {
            m_phase = Phase::Ended;
            out.push_back({Kind::SenderStop, 0, {}});
        } else if (!kEndFile.startsWith(m_held) && !kSenderStop.startsWith(m_held)) {
            fail(out);
        }
        return true;
    default:
        return true;
    }
}

void ChunkStreamReader::feed(QByteArrayView block, std::vector<Event>& out) {
    m_released.clear();
    qsizetype i = 0;
    const qsizetype n = block.size();
    while (i < n) {
        switch (m_phase) {
        case Phase::Ended:
        case Phase::Broken:
            return; // nothing after the end means anything
        case Phase::ChunkStart: {
            const qsizetype k = m_held.size();
            if (k < kSenderStop.size() && block.at(i) == kSenderStop.at(k)) {
                m_held.append(block.at(i++));
                continue; // maybe the cancel, maybe file bytes: wait and see
            }
            // File bytes after all: whatever was held starts the chunk.
            m_phase = Phase::ChunkData;
            if (!m_held.isEmpty()) {
                m_released.push_back(std::exchange(m_held, QByteArray()));
                const QByteArray& bytes = m_released.back();
                // The held bytes cannot run past the chunk: the marker starts with a letter the cancel lacks.
                if (bytes.size() > m_chunkLeft)
                    return fail(out);
                out.push_back({Kind::Data, 0, QByteArrayView(bytes)});
                m_chunkLeft -= bytes.size();
                if (m_chunkLeft == 0) {
                    m_phase = Phase::Marker;
                    m_markerMatched = 0;
                }
            }
            continue;
        }
        case Phase::ChunkData: {
            const qsizetype take = qsizetype(std::min<qint64>(m_chunkLeft, n - i));
            if (take > 0)
                out.push_back({Kind::Data, 0, block.sliced(i, take)});
            i += take;
            m_chunkLeft -= take;
            if (m_chunkLeft == 0) {
                m_phase = Phase::Marker;
                m_markerMatched = 0;
            }
            continue;
        }
        case Phase::WaitSize:
        case Phase::Marker:
        case Phase::EndPosition:
            if (readByte(block.at(i), out))
                ++i;
            continue;
        }
    }
    // Digits that cannot go on make a whole size; others wait for sizeMayContinue()'s caller.
    if (inSizeDigits() && !sizeMayContinue())
        takeSize(out);
}

bool ChunkStreamReader::inSizeDigits() const {
    return m_phase == Phase::WaitSize && m_held.size() > kSizePrefix.size() &&
           IsDigit(m_held.at(kSizePrefix.size()));
}

bool ChunkStreamReader::sizeMayContinue() const {
    if (!inSizeDigits())
        return false;
    const QByteArrayView digits = QByteArrayView(m_held).sliced(kSizePrefix.size());
    // No leading zeros: "0" is complete; and no size goes past the largest we accept.
    return digits != "0" && digits.toLongLong() * 10 <= kMaxFileSize;
}

void ChunkStreamReader::endOfSize(std::vector<Event>& out) {
    if (inSizeDigits())
        takeSize(out);
}

} // namespace client
