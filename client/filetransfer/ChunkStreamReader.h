// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reads what the sender writes on the direct connection. File bytes may hold
// anything, "CHUNKEND" and "FILETRANSFERSTOP" included, so the reader never
// searches for markers: it knows the size, counts each chunk (131072 bytes or
// the rest) and expects the marker exactly where the chunk ends.
//
// The one ambiguity: at the start of a chunk "FILETRANSFERSTOP" may be the
// sender's cancel or the first bytes of the file. A cancel is followed by the
// sender closing, file bytes by more bytes, so the reader holds those sixteen
// bytes until one of the two happens.
#include <QByteArray>
#include <QByteArrayView>
#include <vector>

namespace client {

class ChunkStreamReader {
public:
    struct Event {
        enum class Kind { Size, Data, ChunkEnd, EndFile, SenderStop, Error };
        Kind kind;
        qint64 size = 0;     // Size: the announced file size
        QByteArrayView data; // Data: file bytes, valid until the next feed()
    };

    // Reads one block and appends what it meant to `out`.
    void feed(QByteArrayView block, std::vector<Event>& out);
    // The size message's digits stopped at the end of a block, and more could
    // follow: a message split by the network. The caller waits a moment for
    // them, then calls endOfSize().
    bool sizeMayContinue() const;
    void endOfSize(std::vector<Event>& out);
    // The sender closed the connection: true when the bytes held back were its cancel.
    bool closedAfterSenderStop() const;

    qint64 fileSize() const { return m_fileSize; }

private:
    enum class Phase { WaitSize, ChunkStart, ChunkData, Marker, EndPosition, Ended, Broken };

    void enterChunk();
    void afterChunk();
    void fail(std::vector<Event>& out);
    void takeSize(std::vector<Event>& out);
    bool readByte(char c, std::vector<Event>& out);
    bool inSizeDigits() const;

    Phase m_phase = Phase::WaitSize;
    QByteArray m_held;                  // size message, a possible cancel, or an end word being matched
    std::vector<QByteArray> m_released; // held bytes that turned out to be file bytes
    qint64 m_fileSize = 0;
    qint64 m_left = 0;      // file bytes not yet read
    qint64 m_chunkLeft = 0; // bytes of the current chunk not yet read
    qint64 m_chunkSize = 0;
    int m_markerMatched = 0;
};

} // namespace client
