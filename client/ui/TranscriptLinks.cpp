// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/ui/TranscriptLinks.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTextEdit>

namespace client {

TranscriptLinks::TranscriptLinks(QTextEdit* transcript, std::function<bool()> enabled,
                                 std::function<void(const QUrl&)> open)
    : QObject(transcript), transcript_(transcript), viewport_(transcript->viewport()),
      enabled_(std::move(enabled)), open_(std::move(open)) {
    transcript->viewport()->setMouseTracking(true);
    transcript->viewport()->installEventFilter(this);
}

bool TranscriptLinks::eventFilter(QObject* watched, QEvent* event) {
    const auto type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease && type != QEvent::MouseMove)
        return false;
    if (!transcript_ || !viewport_ || watched != viewport_)
        return false;
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const QPoint at = mouse->position().toPoint();
    const QString href = enabled_() ? transcript_->anchorAt(at) : QString();
    if (type == QEvent::MouseMove) {
        if (mouse->buttons() == Qt::NoButton)
            viewport_->setCursor(href.isEmpty() ? Qt::IBeamCursor : Qt::PointingHandCursor);
        return false;
    }
    if (mouse->button() != Qt::LeftButton)
        return false;
    if (type == QEvent::MouseButtonPress) {
        pressedHref_ = href;
        pressedAt_ = at;
        return false;
    }
    const bool click = !href.isEmpty() && href == pressedHref_ &&
                       (at - pressedAt_).manhattanLength() < QApplication::startDragDistance();
    pressedHref_.clear();
    if (click)
        open_(QUrl(href, QUrl::TolerantMode));
    return false; // the box still ends its selection as usual
}

} // namespace client
