// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The append routine of every conversation window (AddOutput). It writes into a
// QTextDocument that the window shows in a QTextEdit:
//
//   [hh:mm:ss] nick> text      timestamp grey, "nick>" in the (own) nickname colour
//   [hh:mm:ss] * anything      whole line in the action colour
//   [hh:mm:ss] other text      text colour
//
// The transcript keeps at most 20,000 characters of plain text (CR LF counts as
// two): past that, whole lines go from the start (a line longer than that loses
// one character per append, and text without line ends at most twice the window). The cut removes text from
// the front of the document, so the remaining lines keep their colours and a cut costs the same however long
// the program has run.
//
// Removing text at the top makes a shown QTextEdit lay out every line below it
// again, so the document follows the cuts in batches: as soon as the event loop
// is idle again, and at the latest when a quarter of the window is due. During a
// burst of lines the document may therefore briefly hold some older lines too.
//
// Text that the limit cuts in the same call (a line longer than the window)
// never reaches the document: laying out a 60,000-character word only to remove
// it again would hold up the window for a noticeable moment.
#include "client/core/ChatColors.h"

#include <QString>
#include <QTime>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

class QObject;
class QTextCursor;
class QTextDocument;

namespace client {

class TranscriptWriter {
public:
    static constexpr qsizetype kDefaultLimit = 20000;

    // The document's undo history is switched off: a transcript is never undone
    // and the history would grow without end.
    explicit TranscriptWriter(QTextDocument* document);
    ~TranscriptWriter();
    TranscriptWriter(const TranscriptWriter&) = delete;
    TranscriptWriter& operator=(const TranscriptWriter&) = delete;

    // Colours and the own nickname are read at every line, so a change in the
    // main window shows on the next line of every window.
    void setColorsSource(std::function<ChatColors()> source);
    void setColors(const ChatColors& colors); // fixed colours
    void setLocalNicknameSource(std::function<QString()> source);
    void setLocalNickname(const QString& nickname); // fixed nickname
    void setClock(std::function<QTime()> clock);    // tests pin the time
    void setLimit(qsizetype limit);                 // tests use a small window
    // How many characters of cuts may wait for the idle moment (0: cut at once).
    void setCutBatch(qsizetype characters);
    // Whether web and mail addresses in new lines become links (anchors in the
    // document; the text and its colours stay as they are).
    void setLinksSource(std::function<bool()> source);
    // Told of every line after it is shown, as handed to AddOutput.
    void setLineObserver(std::function<void(const QString& strData)> observer);
    const std::function<void(const QString& strData)>& lineObserver() const { return lineObserver_; }

    void AddOutput(const QString& strData, bool NoTimestamp = false);

    // Empties the transcript (end of a session).
    void clear();
    // Applies waiting cuts to the document now.
    void flush();

    // The plain text as the user reads it, CR LF kept (not the document's form).
    const QString& plainText() const { return plain_; }
    qsizetype length() const { return plain_.size(); }
    QTextDocument* document() const { return document_; }

private:
    struct Piece {
        QString text;
        qint64 color;
    };
    // Into the plain text; the positions of its CR LF pairs go to `breaks` too.
    void record(const QString& text, std::vector<qint64>& breaks);
    void insert(QTextCursor& cursor, const QString& text, qint64 color);
    void cutToLimit();

    QTextDocument* document_;
    std::function<ChatColors()> colors_;
    std::function<QString()> localNickname_;
    std::function<QTime()> clock_;
    std::function<bool()> links_;
    std::function<void(const QString&)> lineObserver_;
    qsizetype limit_ = kDefaultLimit;
    // The transcript's plain text; the document holds the same with each CR LF
    // written in one call turned into one paragraph break.
    QString plain_;
    // Positions (counted from the very first character ever written) of the CR LF
    // pairs that the document holds as a single character.
    std::deque<qint64> mergedBreaks_;
    qint64 removedSoFar_ = 0;
    // Document characters cut from the transcript but still in the document.
    qsizetype pendingDocumentCut_ = 0;
    qsizetype cutBatch_ = kDefaultLimit / 4;
    std::unique_ptr<QObject> idleFlush_; // context of the queued flush; dies with us
    bool flushQueued_ = false;
};

} // namespace client
