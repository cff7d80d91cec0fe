// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The keyboard's way to what a list offers the mouse: Enter does what a
// double-click on the selected entry does, and the Menu key or Shift+F10 opens
// the list's pop-up menu at that entry.
#include <QObject>
#include <QPoint>
#include <functional>

class QAbstractItemView;

namespace ui {

class ListKeys : public QObject {
    Q_OBJECT
public:
    // `onEnter` may be empty (Enter then does what the list does by itself);
    // `onMenu` gets the global point where the menu belongs.
    ListKeys(QAbstractItemView* list, std::function<void()> onEnter,
             std::function<void(const QPoint&)> onMenu);

    // Where a menu for the current entry opens: just below its text, or at the
    // list's top left corner without one.
    static QPoint MenuPoint(const QAbstractItemView* list);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAbstractItemView* list_;
    std::function<void()> onEnter_;
    std::function<void(const QPoint&)> onMenu_;
};

} // namespace ui
