// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How a window asks or tells the operator something. The default shows a modal
// message box; tests put a function in its place that answers at once.
#include "about/Accessibility.h"

#include <QMessageBox>
#include <functional>

namespace server {

using MessageBoxFunction =
    std::function<QMessageBox::StandardButton(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                              const QString& text, QMessageBox::StandardButtons buttons)>;

inline QMessageBox::StandardButton ShowMessageBox(QWidget* parent, QMessageBox::Icon icon,
                                                  const QString& title, const QString& text,
                                                  QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, title, text, buttons, parent);
    ui::ReadInFull(&box);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

} // namespace server
