// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/core/TranscriptWriter.h"

#include "client/core/LinkSpans.h"

#include <QCoreApplication>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>

namespace client {

namespace {
const QString kCrLf = QStringLiteral("\r\n");
const QString kNicknameMark = QStringLiteral("> ");

// Characters the document would turn into a paragraph or frame break of its
// own; they never come from the wire, and keeping them out keeps one document
// character per transcript character.
QString WithoutBlockMarks(const QString& text) {
    QString out = text;
    for (QChar& c : out) {
        const char16_t u = c.unicode();
        if (u == 0x2029 || u == 0xFDD0 || u == 0xFDD1)
            c = u'?';
    }
    return out;
}
} // namespace

TranscriptWriter::TranscriptWriter(QTextDocument* document)
    : document_(document), colors_([] { return ChatColors{}; }), localNickname_([] { return QString(); }),
      clock_([] { return QTime::currentTime(); }), idleFlush_(std::make_unique<QObject>()) {
    document_->setUndoRedoEnabled(false);
    plain_.reserve(limit_ + 512);
}

TranscriptWriter::~TranscriptWriter() = default;

void TranscriptWriter::setCutBatch(qsizetype characters) {
    cutBatch_ = characters;
}

void TranscriptWriter::setLinksSource(std::function<bool()> source) {
    links_ = std::move(source);
}

void TranscriptWriter::setLineObserver(std::function<void(const QString&)> observer) {
    lineObserver_ = std::move(observer);
}

void TranscriptWriter::setColorsSource(std::function<ChatColors()> source) {
    colors_ = std::move(source);
}

void TranscriptWriter::setColors(const ChatColors& colors) {
    colors_ = [colors] { return colors; };
}

void TranscriptWriter::setLocalNicknameSource(std::function<QString()> source) {
    localNickname_ = std::move(source);
}

void TranscriptWriter::setLocalNickname(const QString& nickname) {
    localNickname_ = [nickname] { return nickname; };
}

void TranscriptWriter::setClock(std::function<QTime()> clock) {
    clock_ = std::move(clock);
}

void TranscriptWriter::setLimit(qsizetype limit) {
    limit_ = limit;
}

void TranscriptWriter::record(const QString& text, std::vector<qint64>& breaks) {
    // CR LF inside one insertion becomes one paragraph break in the document.
    const qint64 base = removedSoFar_ + plain_.size();
    for (qsizetype at = text.indexOf(kCrLf); at >= 0; at = text.indexOf(kCrLf, at + 2)) {
        mergedBreaks_.push_back(base + at);
        breaks.push_back(base + at);
    }
    plain_.append(text);
}

void TranscriptWriter::insert(QTextCursor& cursor, const QString& text, qint64 color) {
    if (text.isEmpty())
        return;
    QTextCharFormat format;
    format.setForeground(ColorFromInt(color));
    qsizetype done = 0;
    if (links_ && links_()) {
        // A link never holds a CR or LF, so no CR LF pair is split between pieces.
        for (const LinkSpan& link : FindLinks(text)) {
            if (link.start > done)
                cursor.insertText(text.mid(done, link.start - done), format);
            QTextCharFormat anchor = format;
            anchor.setAnchor(true);
            anchor.setAnchorHref(link.url);
            anchor.setFontUnderline(true);
            cursor.insertText(text.mid(link.start, link.length), anchor);
            done = link.start + link.length;
        }
    }
    if (done < text.size())
        cursor.insertText(text.mid(done), format);
}

void TranscriptWriter::AddOutput(const QString& strDataIn, bool NoTimestamp) {
    const QString strData = WithoutBlockMarks(strDataIn);
    const ChatColors colors = colors_();

    std::vector<Piece> pieces;
    if (!NoTimestamp)
        pieces.push_back(
            {QLatin1Char('[') + clock_().toString(QStringLiteral("HH:mm:ss")) + QStringLiteral("] "),
             colors.Timestamp});
    const qsizetype p = strData.indexOf(kNicknameMark);
    if (p >= 0) {
        const bool own = QStringView(strData).left(p) == localNickname_();
        pieces.push_back({strData.left(p + 1), own ? colors.LocalNickname : colors.Nickname});
        pieces.push_back({strData.mid(p + 1), colors.Text});
    } else {
        pieces.push_back({strData, strData.startsWith(u'*') ? colors.Action : colors.Text});
    }

    // The plain text and the cut first: what is cut at once is never inserted,
    // and the document's share of the cut shrinks by what it never got.
    const qint64 lineStart = removedSoFar_ + plain_.size();
    std::vector<qint64> breaks;
    for (const Piece& piece : pieces)
        record(piece.text, breaks);
    cutToLimit();
    const qint64 keptFrom = std::max(lineStart, removedSoFar_);
    const auto skippedBreaks =
        std::count_if(breaks.begin(), breaks.end(), [keptFrom](qint64 at) { return at < keptFrom; });
    pendingDocumentCut_ -= qsizetype(keptFrom - lineStart) - qsizetype(skippedBreaks);

    // One edit block: the window lays the document out once per line, not once
    // per coloured piece.
    QTextCursor cursor(document_);
    cursor.beginEditBlock();
    cursor.movePosition(QTextCursor::End);
    qint64 at = lineStart;
    for (const Piece& piece : pieces) {
        const qint64 end = at + piece.text.size();
        if (end > keptFrom)
            insert(cursor, at >= keptFrom ? piece.text : piece.text.mid(qsizetype(keptFrom - at)),
                   piece.color);
        at = end;
    }
    cursor.endEditBlock();
    if (lineObserver_)
        lineObserver_(strDataIn);

    if (pendingDocumentCut_ == 0)
        return;
    if (pendingDocumentCut_ >= cutBatch_ || !QCoreApplication::instance()) {
        flush();
    } else if (!flushQueued_) {
        flushQueued_ = true;
        QTimer::singleShot(0, idleFlush_.get(), [this] { flush(); });
    }
}

void TranscriptWriter::flush() {
    flushQueued_ = false;
    if (pendingDocumentCut_ == 0)
        return;
    QTextCursor cursor(document_);
    cursor.setPosition(0);
    cursor.setPosition(int(pendingDocumentCut_), QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    pendingDocumentCut_ = 0;
}

void TranscriptWriter::cutToLimit() {
    const qsizetype length = plain_.size();
    if (length <= limit_)
        return;
    // Whole lines go: everything up to the first CR LF at or after (length - limit),
    // counted from 1. A line longer than the window loses only its first character.
    const qsizetype found = plain_.indexOf(kCrLf, length - limit_ - 1);
    qsizetype cut = found >= 0 ? found + 2 : 1;
    // Lines without a line end give that rule nowhere to cut: the text would grow
    // without end and every append get slower. Past twice the window the oldest
    // characters go, down to one window.
    if (length - cut > 2 * limit_)
        cut = length - limit_;

    // Translate the cut into document characters: each CR LF the document holds
    // as one break counts once.
    qsizetype documentCut = cut;
    const qint64 cutEnd = removedSoFar_ + cut;
    while (!mergedBreaks_.empty() && mergedBreaks_.front() < cutEnd) {
        if (mergedBreaks_.front() + 1 >= cutEnd)
            ++cut; // only the CR is inside: its break goes, so its LF goes with it
        else
            --documentCut;
        mergedBreaks_.pop_front();
    }

    pendingDocumentCut_ += documentCut;
    plain_.remove(0, cut);
    removedSoFar_ += cut;
}

void TranscriptWriter::clear() {
    document_->clear();
    document_->setUndoRedoEnabled(false);
    plain_.clear();
    mergedBreaks_.clear();
    removedSoFar_ = 0;
    pendingDocumentCut_ = 0;
}

} // namespace client
