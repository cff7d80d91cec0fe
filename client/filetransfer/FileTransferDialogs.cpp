// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileTransferDialogs.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QUrl>

namespace client {

FileTransferDialogs FileTransferDialogs::Standard() {
    FileTransferDialogs d;
    d.openFile = [](QWidget* parent, const QString& current) {
        const QString chosen = QFileDialog::getOpenFileName(parent, QString(), current);
        return chosen.isEmpty() ? current : chosen;
    };
    d.saveFile = [](QWidget* parent, const QString& preset) {
        // The overwrite question is the window's own, asked after the dialog.
        const QString chosen = QFileDialog::getSaveFileName(parent, QString(), preset, QString(), nullptr,
                                                            QFileDialog::DontConfirmOverwrite);
        return chosen.isEmpty() ? preset : chosen;
    };
    d.messageBox = [](QWidget* parent, QMessageBox::Icon icon, const QString& text,
                      QMessageBox::StandardButtons buttons) {
        QMessageBox box(icon, QStringLiteral("ZindleChat"), text, buttons, parent);
        return static_cast<QMessageBox::StandardButton>(box.exec());
    };
    d.openWithAssociatedProgram = [](const QString& path) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    };
    return d;
}

} // namespace client
