// SPDX-License-Identifier: GPL-3.0-or-later
// Editing the room name and the message of the day: "&Opslaan" and "&Annuleer"
// are visible exactly while a box differs from the committed text.
#include "server/core/ServerCore.h"
#include "server/ui/frmMain.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace server {

// The box shows one line break where the stored text has CR LF.
QString frmMain::MotdBoxText() const {
    QString text = txtMOTD->toPlainText();
    text.replace('\n', "\r\n");
    return text;
}

void frmMain::setMotdBoxText(const QString& text) {
    QString shown = text;
    shown.replace("\r\n", "\n");
    txtMOTD->setPlainText(shown);
}

void frmMain::ShowEditButtons(bool visible) {
    cmdSaveMOTD->setVisible(visible);
    cmdCancelMOTD->setVisible(visible);
}

void frmMain::txtServerNaam_Change() {
    ShowEditButtons(txtServerNaam->text() != core.ServerNaam() || MotdBoxText() != core.MOTD());
}

void frmMain::txtMOTD_Change() {
    if (FillingMotd)
        return;
    if (MotdBoxText().size() > kMotdMaxLength) {
        // Typing or pasting past the limit keeps the first 300 characters.
        FillingMotd = true;
        QString text = MotdBoxText().left(kMotdMaxLength);
        if (text.endsWith('\r'))
            text.chop(1);
        setMotdBoxText(text);
        txtMOTD->moveCursor(QTextCursor::End);
        FillingMotd = false;
    }
    txtServerNaam_Change();
}

void frmMain::cmdSaveMOTD_Click() {
    core.SaveMOTD(txtServerNaam->text(), MotdBoxText());
    ShowEditButtons(false);
}

// Running or stopped alike: the boxes go back to the committed texts.
void frmMain::cmdCancelMOTD_Click() {
    txtServerNaam->setText(core.ServerNaam());
    setMotdBoxText(core.MOTD());
    ShowEditButtons(false);
}

} // namespace server
