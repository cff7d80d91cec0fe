// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A thin line in a transcript above the first line that arrived while its
// window was not active, drawn when the window is active again. The line is a
// property of the paragraph above (a trailing rule), so the transcript's text
// stays exactly as it was written and the rule scrolls with it.
#include <QObject>
#include <QPointer>
#include <QTextCursor>
#include <functional>

class QTextDocument;
class QWidget;

namespace client {

class UnreadMarker : public QObject {
    Q_OBJECT
public:
    UnreadMarker(QWidget* window, QTextDocument* transcript, std::function<bool()> enabled);

    // A line was written to the transcript.
    void lineAdded();
    // Takes the rule away (switched off).
    void clear();
    // The paragraph that carries the rule, -1 when there is none (for tests).
    int markedBlock() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void windowLeft();
    void windowBack();

    QWidget* window_;
    QPointer<QTextDocument> document_; // goes with its box, maybe before the window
    std::function<bool()> enabled_;
    QTextCursor unreadStart_; // where the first line written in the window's absence begins
    bool arrivedWhileAway_ = false;
    QTextCursor marked_; // in the paragraph that carries the rule
};

} // namespace client
