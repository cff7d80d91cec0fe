// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The modal pieces of the file windows, replaceable so tests never block:
// the open and save dialogs, the message boxes and opening a file.
#include <QMessageBox>
#include <QString>
#include <functional>

class QWidget;

namespace client {

struct FileTransferDialogs {
    // Returns the chosen path, or `current` when the user dismisses the dialog.
    std::function<QString(QWidget* parent, const QString& current)> openFile;
    std::function<QString(QWidget* parent, const QString& preset)> saveFile;
    std::function<QMessageBox::StandardButton(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                                              QMessageBox::StandardButtons buttons)>
        messageBox;
    std::function<void(const QString& path)> openWithAssociatedProgram;

    // The real dialogs.
    static FileTransferDialogs Standard();
};

} // namespace client
