// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Clicks on the links of a transcript. The box stays read-only and selectable: a
// press and release on the same link without dragging opens it; anything else
// is an ordinary selection.
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <functional>

class QTextEdit;

namespace client {

class TranscriptLinks : public QObject {
    Q_OBJECT
public:
    TranscriptLinks(QTextEdit* transcript, std::function<bool()> enabled,
                    std::function<void(const QUrl&)> open);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The box and its viewport end one after the other; events may come in between.
    QPointer<QTextEdit> transcript_;
    QPointer<QWidget> viewport_;
    std::function<bool()> enabled_;
    std::function<void(const QUrl&)> open_;
    QString pressedHref_;
    QPoint pressedAt_;
};

} // namespace client
