// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/ui/LineAnnouncer.h"

#include "about/Accessibility.h"
#include "client/core/TranscriptWriter.h"
#include <QAccessible>
#include <QPointer>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <algorithm>

namespace client {

LineAnnouncer::LineAnnouncer(QTextEdit* transcript, TranscriptWriter& writer, std::function<bool()> on)
    : QObject(transcript), box_(transcript), on_(std::move(on)) {
    setObjectName(QStringLiteral("LineAnnouncer"));
    QTextDocument* document = transcript->document();
    // The text box's own control reports every change of its document in pieces
    // (timestamp, nickname, text); this object reports whole lines instead.
    const auto parts = transcript->children();
    for (QObject* part : parts)
        if (qstrcmp(part->metaObject()->className(), "QWidgetTextControl") == 0)
            QObject::disconnect(document, &QTextDocument::contentsChange, part, nullptr);
    connect(document, &QTextDocument::contentsChange, this, &LineAnnouncer::contentsChanged);

    QPointer<LineAnnouncer> self(this);
    auto previous = writer.lineObserver();
    writer.setLineObserver([self, previous](const QString& strData) {
        if (previous)
            previous(strData);
        if (self)
            self->lineShown();
    });
}

void LineAnnouncer::contentsChanged(int from, int removed, int added) {
    if (removed > 0) {
        if (pendingFrom_ >= 0 && from < pendingFrom_) {
            pendingFrom_ = std::max(from, pendingFrom_ - removed);
            pendingEnd_ = std::max(pendingFrom_, pendingEnd_ - removed);
        }
        QAccessibleTextRemoveEvent event(box_, from, QString(removed, QLatin1Char(' ')));
        ui::SendAccessibleEvent(&event);
    }
    if (added <= 0)
        return;
    if (pendingFrom_ < 0) {
        pendingFrom_ = from;
        pendingEnd_ = from + added;
    } else {
        pendingFrom_ = std::min(pendingFrom_, from);
        pendingEnd_ = std::max(pendingEnd_, from + added);
    }
}

void LineAnnouncer::lineShown() {
    const int from = pendingFrom_, end = pendingEnd_;
    pendingFrom_ = pendingEnd_ = -1;
    // Without assistive technology Qt drops the event at once.
    if (from < 0 || !on_())
        return;
    QTextDocument* document = box_->document();
    QTextCursor cursor(document);
    cursor.setPosition(std::min(from, document->characterCount() - 1));
    cursor.setPosition(std::min(end, document->characterCount() - 1), QTextCursor::KeepAnchor);
    QString text = cursor.selectedText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    if (text.isEmpty())
        return;
    QAccessibleTextInsertEvent event(box_, cursor.selectionStart(), text);
    ui::SendAccessibleEvent(&event);
}

} // namespace client
