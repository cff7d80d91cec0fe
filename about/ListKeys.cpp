// SPDX-License-Identifier: GPL-3.0-or-later
#include "about/ListKeys.h"

#include <QAbstractItemView>
#include <QContextMenuEvent>
#include <QKeyEvent>

namespace ui {

ListKeys::ListKeys(QAbstractItemView* list, std::function<void()> onEnter,
                   std::function<void(const QPoint&)> onMenu)
    : QObject(list), list_(list), onEnter_(std::move(onEnter)), onMenu_(std::move(onMenu)) {
    setObjectName(QStringLiteral("ListKeys"));
    list->installEventFilter(this);
}

QPoint ListKeys::MenuPoint(const QAbstractItemView* list) {
    const QModelIndex current = list->currentIndex();
    const QRect rect = current.isValid() ? list->visualRect(current) : QRect();
    const QPoint local =
        rect.isValid() ? QPoint(rect.left() + rect.height() / 2, rect.bottom()) : QPoint(0, 0);
    return list->viewport()->mapToGlobal(local);
}

bool ListKeys::eventFilter(QObject* watched, QEvent* event) {
    if (watched != list_)
        return false;
    if (event->type() == QEvent::ContextMenu) {
        // The desktop's own context-menu key arrives as this event.
        auto* menu = static_cast<QContextMenuEvent*>(event);
        if (menu->reason() != QContextMenuEvent::Keyboard)
            return false;
        onMenu_(MenuPoint(list_));
        return true;
    }
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && mods == Qt::NoModifier && onEnter_) {
        onEnter_();
        return true;
    }
    if ((key->key() == Qt::Key_Menu && mods == Qt::NoModifier) ||
        (key->key() == Qt::Key_F10 && mods == Qt::ShiftModifier)) {
        onMenu_(MenuPoint(list_));
        return true;
    }
    return false;
}

} // namespace ui
