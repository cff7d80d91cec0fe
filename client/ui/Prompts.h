// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Everything a window asks of the user or of the program through a modal dialog
// goes through here, so a test can answer without a dialog ever blocking it.
#include <QColor>
#include <QMessageBox>
#include <QString>
#include <functional>

class QWidget;

namespace client {

struct Prompts {
    // A message box with one OK button.
    std::function<void(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text)>
        notify;
    // The same box, shown without waiting for the answer: for handlers that run
    // while the session reads, which a nested event loop would stall. Returns the
    // box while it is up (null when nothing stays on screen).
    std::function<QWidget*(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                           const QString& text)>
        notifyLater;
    // The colour dialog, preset to `preset`; hands the preset back when dismissed.
    std::function<QColor(QWidget* parent, const QColor& preset)> pickColor;
    // The About window, modal.
    std::function<void(QWidget* parent, const QString& versionText)> showAbout;
    // Ends the program at once.
    std::function<void()> endProgram;
};

// The real dialogs: QMessageBox, QColorDialog, the About window, QApplication::quit.
Prompts DefaultPrompts();

} // namespace client
