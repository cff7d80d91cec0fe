// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/ui/Prompts.h"

#include "about/Accessibility.h"
#include "about/frmAbout.h"
#include <QApplication>
#include <QColorDialog>

namespace client {

Prompts DefaultPrompts() {
    Prompts p;
    p.notify = [](QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text) {
        QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
        ui::ReadInFull(&box);
        box.exec();
    };
    p.notifyLater = [](QWidget* parent, QMessageBox::Icon icon, const QString& title,
                       const QString& text) -> QWidget* {
        auto* box = new QMessageBox(icon, title, text, QMessageBox::Ok, parent);
        box->setAttribute(Qt::WA_DeleteOnClose);
        ui::ReadInFull(box);
        box->setWindowModality(Qt::NonModal);
        box->show();
        return box;
    };
    p.pickColor = [](QWidget* parent, const QColor& preset) {
        const QColor chosen = QColorDialog::getColor(preset, parent);
        return chosen.isValid() ? chosen : preset;
    };
    p.showAbout = [](QWidget* parent, const QString& versionText) { about::ShowAbout(parent, versionText); };
    p.endProgram = [] { QApplication::quit(); };
    return p;
}

} // namespace client
