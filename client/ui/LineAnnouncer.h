// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Tells assistive technology about each line a transcript shows: one
// text-inserted event per line, with the whole line, instead of the text box's
// own event for every coloured piece of it. While the switch is off new lines
// are not announced; removals (old lines cut, a cleared transcript) always are,
// so a screen reader's view of the text stays right.
#include <QObject>
#include <functional>

class QTextEdit;

namespace client {

class TranscriptWriter;

class LineAnnouncer : public QObject {
    Q_OBJECT
public:
    LineAnnouncer(QTextEdit* transcript, TranscriptWriter& writer, std::function<bool()> on);

private:
    void contentsChanged(int from, int removed, int added);
    void lineShown();

    QTextEdit* box_;
    std::function<bool()> on_;
    int pendingFrom_ = -1; // the shown line's range in the document
    int pendingEnd_ = -1;
};

} // namespace client
