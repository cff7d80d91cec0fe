// SPDX-License-Identifier: GPL-3.0-or-later
// The readers of the direct connection: markers are found by counting, never
// by searching, so file bytes that look like markers arrive unchanged.
#include "client/filetransfer/ChunkStreamReader.h"
#include "client/filetransfer/ControlWordReader.h"
#include "client/filetransfer/FileTransferProtocol.h"

#include <gtest/gtest.h>
#include <random>

using client::ChunkStreamReader;
using client::ControlWordReader;
using Kind = ChunkStreamReader::Event::Kind;
using namespace client::filetransfer;

namespace {

// Everything a sender writes for `content`, in order.
QByteArray SenderStream(const QByteArray& content) {
    QByteArray s = kSizePrefix + QByteArray::number(content.size());
    for (qsizetype at = 0; at < content.size(); at += kChunkSize)
        s += content.mid(at, kChunkSize) + kChunkEnd;
    return s + kEndFile;
}

struct Outcome {
    QByteArray data;
    int chunkEnds = 0, ends = 0, stops = 0, errors = 0;
    qint64 size = -1;
};

// Feeds `stream` cut at `cuts` (ascending offsets).
Outcome Read(const QByteArray& stream, const std::vector<qsizetype>& cuts, ChunkStreamReader& reader) {
    Outcome o;
    qsizetype from = 0;
    std::vector<ChunkStreamReader::Event> events;
    auto take = [&] {
        for (const auto& e : events) {
            switch (e.kind) {
            case Kind::Size:
                o.size = e.size;
                break;
            case Kind::Data:
                o.data += e.data.toByteArray();
                break;
            case Kind::ChunkEnd:
                ++o.chunkEnds;
                break;
            case Kind::EndFile:
                ++o.ends;
                break;
            case Kind::SenderStop:
                ++o.stops;
                break;
            case Kind::Error:
                ++o.errors;
                break;
            }
        }
    };
    auto feed = [&](qsizetype to) {
        events.clear();
        reader.feed(QByteArrayView(stream).sliced(from, to - from), events);
        take();
        // The sender says nothing more until it is asked: the quiet moment ends the size.
        if (reader.sizeMayContinue()) {
            events.clear();
            reader.endOfSize(events);
            take();
        }
        from = to;
    };
    for (qsizetype cut : cuts)
        feed(cut);
    feed(stream.size());
    return o;
}

QByteArray Random(qsizetype size, unsigned seed) {
    std::mt19937 rng(seed);
    QByteArray b(size, Qt::Uninitialized);
    for (char& c : b)
        c = char(rng());
    return b;
}

// Keywords at the start, straddling and ending chunks, and at the very end.
QByteArray Planted(qsizetype size, unsigned seed) {
    QByteArray b = Random(size, seed);
    auto plant = [&](qsizetype at, const QByteArray& word) {
        if (at >= 0 && at + word.size() <= b.size())
            b.replace(at, word.size(), word);
    };
    plant(0, kSenderStop);
    plant(kChunkSize - 4, kChunkEnd);
    plant(kChunkSize, kSenderStop);
    plant(2 * kChunkSize - kChunkEnd.size(), kChunkEnd);
    plant(2 * kChunkSize + 100, kSizePrefix + "12");
    plant(b.size() - kEndFile.size(), kEndFile);
    return b;
}

} // namespace

TEST(ChunkStreamReader, FilesFullOfMarkersArriveUnchangedHoweverTheBlocksFall) {
    std::mt19937 rng(7);
    const std::vector<QByteArray> files = {QByteArray(),
                                           QByteArray("x"),
                                           kSenderStop,
                                           kSenderStop + "tail",
                                           kChunkEnd,
                                           kEndFile,
                                           Planted(kChunkSize - 1, 1),
                                           Planted(kChunkSize, 2),
                                           Planted(kChunkSize + 1, 3),
                                           Planted(3 * kChunkSize + 77, 4)};
    for (const QByteArray& file : files) {
        const QByteArray stream = SenderStream(file);
        const int chunks = int((file.size() + kChunkSize - 1) / kChunkSize);
        for (int round = 0; round < 20; ++round) {
            // Round 0 in one block, round 1 byte by byte for small files, then random cuts.
            // The size message is one small write and arrives whole; everything after it may fall apart.
            const qsizetype sizeMessage = 4 + QByteArray::number(file.size()).size();
            std::vector<qsizetype> cuts{sizeMessage};
            if (round == 1 && stream.size() < 4096)
                for (qsizetype i = sizeMessage + 1; i < stream.size(); ++i)
                    cuts.push_back(i);
            else if (round > 1)
                for (int k = 0; k < 12; ++k)
                    cuts.push_back(sizeMessage + qsizetype(rng() % (stream.size() - sizeMessage)));
            std::sort(cuts.begin(), cuts.end());
            ChunkStreamReader reader;
            const Outcome o = Read(stream, cuts, reader);
            ASSERT_EQ(o.errors, 0) << file.size() << " round " << round;
            EXPECT_EQ(o.size, file.size());
            EXPECT_EQ(o.chunkEnds, chunks);
            EXPECT_EQ(o.ends, 1);
            EXPECT_EQ(o.stops, 0);
            ASSERT_TRUE(o.data == file) << file.size() << " round " << round;
        }
    }
}

TEST(ChunkStreamReader, RecognisesTheSendersCancelWhereverItMayStand) {
    { // before the size: unambiguous
        ChunkStreamReader r;
        EXPECT_EQ(Read(kSenderStop, {}, r).stops, 1);
    }
    { // instead of the end word
        ChunkStreamReader r;
        EXPECT_EQ(Read("FILE0" + kSenderStop, {}, r).stops, 1);
    }
    { // at a chunk start it may be file bytes: held until the sender closes or writes more
        ChunkStreamReader r;
        const Outcome o = Read("FILE20" + kSenderStop, {3}, r);
        EXPECT_EQ(o.stops, 0);
        EXPECT_TRUE(o.data.isEmpty());
        EXPECT_TRUE(r.closedAfterSenderStop());
    }
    { // the same sixteen bytes followed by more are file bytes
        ChunkStreamReader r;
        const Outcome o = Read("FILE20" + kSenderStop + "abcd" + kChunkEnd, {22}, r);
        EXPECT_EQ(o.data, kSenderStop + "abcd");
        EXPECT_FALSE(r.closedAfterSenderStop());
    }
}

TEST(ChunkStreamReader, ASizeMessageSplitAnywhereIsReadWhole) {
    for (const qint64 size :
         {qint64(0), qint64(7), qint64(1234567), kChunkSize, qint64(1073741824), kMaxFileSize}) {
        const QByteArray message = kSizePrefix + QByteArray::number(size);
        for (qsizetype cut = 1; cut <= message.size(); ++cut) {
            SCOPED_TRACE(message.left(cut).toStdString());
            ChunkStreamReader reader;
            std::vector<ChunkStreamReader::Event> events;
            reader.feed(QByteArrayView(message).first(cut), events);
            if (cut < message.size()) {
                EXPECT_TRUE(events.empty()); // a piece is never taken for the whole
                reader.feed(QByteArrayView(message).sliced(cut), events);
            }
            // Digits that could still go on wait for the quiet moment; the rest is whole at once.
            const bool complete = size == 0 || size * 10 > kMaxFileSize;
            EXPECT_EQ(reader.sizeMayContinue(), !complete);
            reader.endOfSize(events);
            ASSERT_EQ(events.size(), 1u);
            EXPECT_EQ(events[0].kind, Kind::Size);
            EXPECT_EQ(events[0].size, size);
        }
    }
}

TEST(ChunkStreamReader, BrokenStreamsAreErrorsNotData) {
    for (const QByteArray& bad : {QByteArray("HELLO"), QByteArray("FILEx"), QByteArray("FILE2147483648"),
                                  QByteArray("FILE3abcXHUNKEND"), QByteArray("FILE0ENDFILX")}) {
        ChunkStreamReader r;
        EXPECT_EQ(Read(bad, {}, r).errors, 1) << bad.constData();
    }
    ChunkStreamReader r; // the largest size is still a size
    EXPECT_EQ(Read("FILE2147483647", {}, r).size, kMaxFileSize);
}

TEST(ControlWordReader, SplitsWordsThatArriveTogetherAndJoinsWordsThatArriveInPieces) {
    ControlWordReader r({kAccept, kDeny, kNextChunk, kBye, kStop});
    EXPECT_EQ(r.feed("NEXTCHUNKSTOP"), (QList<QByteArray>{kNextChunk, kStop}));
    EXPECT_EQ(r.feed("ACPTNEXT"), QList<QByteArray>{kAccept});
    EXPECT_EQ(r.feed("CHU"), QList<QByteArray>{});
    EXPECT_EQ(r.feed("NKBYE"), (QList<QByteArray>{kNextChunk, kBye}));
    EXPECT_EQ(r.feed("garbageSTOP"), QList<QByteArray>{}); // a block that means nothing is ignored
    EXPECT_EQ(r.feed("DENY"), QList<QByteArray>{kDeny});
}
