// SPDX-License-Identifier: GPL-3.0-or-later
// The sender's reader of the receiver's control words, under whatever a peer
// sends: words sent back to back come out whole and in order however the
// network cuts them, garbage yields only real words, and a reset forgets it.
#include "FuzzCheck.h"
#include "client/filetransfer/ControlWordReader.h"
#include "client/filetransfer/FileTransferProtocol.h"

#include <fuzzer/FuzzedDataProvider.h>

using namespace client::filetransfer;

namespace {

const QList<QByteArray> kWords{kAccept, kDeny, kNextChunk, kBye, kStop};

// Feeds stream in pieces whose sizes come from the input; returns every word found.
QList<QByteArray> FeedInPieces(client::ControlWordReader& reader, const QByteArray& stream,
                               FuzzedDataProvider& in) {
    QList<QByteArray> found;
    qsizetype pos = 0;
    while (pos < stream.size()) {
        const qsizetype piece =
            std::min<qsizetype>(in.ConsumeIntegralInRange<qsizetype>(1, 24), stream.size() - pos);
        found += reader.feed(QByteArrayView(stream).sliced(pos, piece));
        pos += piece;
    }
    return found;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);

    // Well-formed: a run of words, cut anywhere, comes back exactly.
    QList<QByteArray> sent;
    QByteArray stream;
    const int count = in.ConsumeIntegralInRange(0, 40);
    for (int i = 0; i < count; ++i) {
        sent << kWords[in.ConsumeIntegralInRange<qsizetype>(0, kWords.size() - 1)];
        stream += sent.back();
    }
    client::ControlWordReader clean(kWords);
    FUZZ_REQUIRE(FeedInPieces(clean, stream, in) == sent);

    // Anything at all: only real words come out.
    const QByteArray garbage = QByteArray::fromStdString(in.ConsumeRandomLengthString(4096));
    client::ControlWordReader reader(kWords);
    qsizetype pos = 0;
    while (pos < garbage.size()) {
        const qsizetype piece =
            std::min<qsizetype>(in.ConsumeIntegralInRange<qsizetype>(1, 64), garbage.size() - pos);
        for (const QByteArray& word : reader.feed(QByteArrayView(garbage).sliced(pos, piece)))
            FUZZ_REQUIRE(kWords.contains(word));
        pos += piece;
    }
    // After garbage and a reset, the reader is as good as new.
    reader.reset();
    FUZZ_REQUIRE(reader.feed(stream) == sent);
    return 0;
}
