// SPDX-License-Identifier: GPL-3.0-or-later
// The receiver's reader of the sender's stream, under whatever a peer sends.
// A well-formed transfer, its file bytes full of marker look-alikes and cut
// anywhere after the size message, gives back exactly the file; a cancel at a
// chunk start followed by a close is seen as the cancel; and arbitrary bytes
// never yield more file bytes than announced, nor anything after the end.
#include "FuzzCheck.h"
#include "client/filetransfer/ChunkStreamReader.h"
#include "client/filetransfer/FileTransferProtocol.h"

#include <fuzzer/FuzzedDataProvider.h>
#include <vector>

using client::ChunkStreamReader;
using Kind = ChunkStreamReader::Event::Kind;
using namespace client::filetransfer;

namespace {

struct Read {
    std::vector<Kind> kinds; // every event but Data, in order
    QByteArray data;         // the Data bytes, joined
};

void Take(const std::vector<ChunkStreamReader::Event>& events, Read& read) {
    for (const auto& e : events) {
        if (e.kind == Kind::Data)
            read.data += e.data.toByteArray(); // views last only until the next feed
        else
            read.kinds.push_back(e.kind);
    }
}

// The size message in a block of its own (the sender writes it in one piece),
// the rest in pieces of the sizes the input gives.
Read FeedTransfer(ChunkStreamReader& reader, const QByteArray& sizeMessage, const QByteArray& rest,
                  FuzzedDataProvider& in) {
    Read read;
    std::vector<ChunkStreamReader::Event> events;
    reader.feed(sizeMessage, events);
    // Digits that could still go on wait for a moment of quiet, as the receiver does.
    if (reader.sizeMayContinue())
        reader.endOfSize(events);
    Take(events, read);
    qsizetype pos = 0;
    while (pos < rest.size()) {
        // Once the input runs out, big pieces: byte-sized ones would make each run slow.
        const qsizetype wanted =
            in.remaining_bytes() > 0 ? in.ConsumeIntegralInRange<qsizetype>(1, 70000) : 65536;
        const qsizetype piece = std::min<qsizetype>(wanted, rest.size() - pos);
        events.clear();
        reader.feed(QByteArrayView(rest).sliced(pos, piece), events);
        Take(events, read);
        pos += piece;
    }
    return read;
}

// A file of the given length made by repeating a pattern that the input chose,
// so that short inputs still fill several chunks with look-alikes.
QByteArray MakeFile(const QByteArray& pattern, qsizetype length) {
    QByteArray file;
    file.reserve(length);
    while (file.size() < length)
        file += pattern.isEmpty() ? QByteArrayLiteral("x") : pattern;
    file.truncate(length);
    return file;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const qsizetype length = in.ConsumeIntegralInRange<qsizetype>(0, 2 * kChunkSize + 17);
    const int cancelAtChunk = in.ConsumeIntegralInRange(-1, 4); // -1: no cancel
    static const QByteArray lookAlikes[] = {kSenderStop, kChunkEnd, kEndFile, QByteArrayLiteral("FILETRANS")};
    QByteArray pattern = QByteArray::fromStdString(in.ConsumeRandomLengthString(64));
    if (in.ConsumeBool())
        pattern.prepend(lookAlikes[in.ConsumeIntegralInRange(0, 3)]);
    const QByteArray file = MakeFile(pattern, length);

    // The sender's stream: chunks and their markers, then the end word or a cancel.
    QByteArray rest;
    qsizetype chunks = 0;
    bool cancelled = false;
    for (qsizetype at = 0; at < length; at += kChunkSize, ++chunks) {
        if (chunks == cancelAtChunk) {
            cancelled = true;
            break;
        }
        rest += file.mid(at, kChunkSize) + kChunkEnd;
    }
    const qsizetype delivered = std::min<qsizetype>(length, chunks * kChunkSize);
    if (!cancelled && cancelAtChunk == chunks)
        cancelled = true; // a cancel instead of the end word
    rest += cancelled ? kSenderStop : kEndFile;

    ChunkStreamReader reader;
    const Read read = FeedTransfer(reader, kSizePrefix + QByteArray::number(length), rest, in);
    FUZZ_REQUIRE(reader.fileSize() == length);
    FUZZ_REQUIRE(read.data == file.left(delivered));
    std::vector<Kind> expected{Kind::Size};
    expected.insert(expected.end(), std::size_t(chunks), Kind::ChunkEnd);
    if (cancelled) {
        // Between chunks the cancel cannot be told from file bytes until the
        // sender closes; at the end position it is plain.
        if (delivered < length)
            FUZZ_REQUIRE(reader.closedAfterSenderStop());
        else
            expected.push_back(Kind::SenderStop);
    } else {
        expected.push_back(Kind::EndFile);
    }
    FUZZ_REQUIRE(read.kinds == expected);

    // Arbitrary bytes after a size: never more data than announced, and
    // nothing after an end, a cancel or an error.
    ChunkStreamReader wild;
    const qint64 announced = in.ConsumeIntegralInRange<qint64>(0, 2 * kChunkSize);
    const QByteArray noise = QByteArray::fromStdString(in.ConsumeRemainingBytesAsString());
    const Read got = FeedTransfer(wild, kSizePrefix + QByteArray::number(announced), noise, in);
    FUZZ_REQUIRE(got.data.size() <= announced);
    for (std::size_t i = 0; i < got.kinds.size(); ++i)
        if (got.kinds[i] == Kind::EndFile || got.kinds[i] == Kind::SenderStop || got.kinds[i] == Kind::Error)
            FUZZ_REQUIRE(i + 1 == got.kinds.size());
    return 0;
}
