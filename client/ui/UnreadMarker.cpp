// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/ui/UnreadMarker.h"

#include <QEvent>
#include <QTextBlock>
#include <QTextBlockFormat>
#include <QTextDocument>
#include <QTextLength>
#include <QWidget>

namespace client {

UnreadMarker::UnreadMarker(QWidget* window, QTextDocument* transcript, std::function<bool()> enabled)
    : QObject(window), window_(window), document_(transcript), enabled_(std::move(enabled)) {
    window->installEventFilter(this);
    if (!window->isActiveWindow())
        windowLeft();
}

void UnreadMarker::windowLeft() {
    unreadStart_ = QTextCursor(document_);
    unreadStart_.movePosition(QTextCursor::End);
    // Lines are appended at this very spot; the cursor stays before them.
    unreadStart_.setKeepPositionOnInsert(true);
    arrivedWhileAway_ = false;
}

void UnreadMarker::lineAdded() {
    if (!window_->isActiveWindow())
        arrivedWhileAway_ = true;
}

void UnreadMarker::windowBack() {
    const bool due = arrivedWhileAway_ && !unreadStart_.isNull() && enabled_();
    arrivedWhileAway_ = false;
    if (!due)
        return;
    // The rule goes under the paragraph before the unread part; when the unread
    // part starts the transcript there is nothing read above it to mark off.
    const QTextBlock above =
        unreadStart_.atBlockStart() ? unreadStart_.block().previous() : unreadStart_.block();
    unreadStart_ = QTextCursor();
    if (!above.isValid())
        return;
    clear();
    marked_ = QTextCursor(above);
    QTextBlockFormat format = above.blockFormat();
    format.setProperty(QTextFormat::BlockTrailingHorizontalRulerWidth,
                       QTextLength(QTextLength::PercentageLength, 100));
    marked_.setBlockFormat(format);
}

void UnreadMarker::clear() {
    if (marked_.isNull() || !document_)
        return;
    QTextBlockFormat format = marked_.block().blockFormat();
    format.clearProperty(QTextFormat::BlockTrailingHorizontalRulerWidth);
    marked_.setBlockFormat(format);
    marked_ = QTextCursor();
}

int UnreadMarker::markedBlock() const {
    if (!document_)
        return -1;
    for (QTextBlock block = document_->begin(); block.isValid(); block = block.next())
        if (block.blockFormat().hasProperty(QTextFormat::BlockTrailingHorizontalRulerWidth))
            return block.blockNumber();
    return -1;
}

bool UnreadMarker::eventFilter(QObject* watched, QEvent* event) {
    const auto type = event->type();
    if ((type == QEvent::WindowActivate || type == QEvent::WindowDeactivate) && watched == window_ &&
        document_) {
        if (type == QEvent::WindowDeactivate)
            windowLeft();
        else
            windowBack();
    }
    return false;
}

} // namespace client
