// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A small find bar along the bottom of a transcript. Ctrl+F opens it, Enter or
// F3 finds the next match, Shift+Enter or Shift+F3 the one before, and Escape
// closes it; at either end the search goes round. While it is open the bar
// takes the bottom strip of the transcript's place, so no match hides under it.
#include <QPointer>
#include <QRect>
#include <QWidget>
#include <functional>

class QLabel;
class QLineEdit;
class QTextEdit;
class QToolButton;

namespace client {

class FindBar : public QWidget {
    Q_OBJECT
public:
    // `window` gets the shortcuts; the bar shows over `transcript`, and gives the
    // focus back to `input` when it closes.
    FindBar(QWidget* window, QTextEdit* transcript, QWidget* input, std::function<bool()> enabled);

    void open();
    void close();
    // Selects the next (or previous) match in the transcript; false when there is none.
    bool findNext(bool backwards = false);

    QLineEdit* txtFind = nullptr;
    QLabel* lblFindStatus = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void place();

    // Both end with their window, maybe before this bar.
    QPointer<QTextEdit> transcript_;
    const QObject* transcriptObject_; // only compared
    QPointer<QWidget> input_;
    std::function<bool()> enabled_;
    QRect full_;   // the transcript's place as the window laid it out
    QRect shrunk_; // what is left of it while the bar is open
};

} // namespace client
