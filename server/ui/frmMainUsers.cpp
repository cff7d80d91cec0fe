// SPDX-License-Identifier: GPL-3.0-or-later
// The user area of the main window: kick, ban, info, copy address, ban list.
#include "server/core/ServerCore.h"
#include "server/ui/frmMain.h"

#include <QClipboard>
#include <QGroupBox>
#include <QGuiApplication>
#include <QListWidget>

namespace server {

QString frmMain::SelectedUserEntry() const {
    const QListWidgetItem* item = lstGebruikers->currentItem();
    return item && item->isSelected() ? item->text() : QString();
}

void frmMain::cmdKick_Click() {
    const QString entry = SelectedUserEntry();
    if (!entry.isEmpty())
        core.KickEntry(entry);
}

void frmMain::cmdBan_Click() {
    const QString entry = SelectedUserEntry();
    if (!entry.isEmpty())
        core.BanEntry(entry);
}

void frmMain::cmdInfo_Click() {
    const int slot = ServerCore::SlotOfEntry(SelectedUserEntry());
    if (slot < 0)
        return;
    const QString text = core.UserInfoText(slot);
    if (!text.isEmpty())
        MsgBox(this, QMessageBox::Information, "ZindleChat", text, QMessageBox::Ok);
}

void frmMain::cmdCopyIP_Click() {
    const int slot = ServerCore::SlotOfEntry(SelectedUserEntry());
    if (slot < 0)
        return;
    const QString ip = core.RemoteIP(slot);
    if (!ip.isEmpty())
        QGuiApplication::clipboard()->setText(ip);
}

void frmMain::cmdBanList_Click() {
    frBanlijst->show();
    frBanlijst->raise();
    frGebruikersLijst->hide();
}

void frmMain::cmdCloseBanList_Click() {
    frGebruikersLijst->show();
    frGebruikersLijst->raise();
    frBanlijst->hide();
}

void frmMain::cmdBanEmpty_Click() {
    core.ClearBans();
}

void frmMain::cmdBanWis_Click() {
    const QListWidgetItem* item = lstBanlist->currentItem();
    if (item && item->isSelected())
        core.RemoveBan(lstBanlist->row(item));
}

void frmMain::ShowUserList() {
    const QString selected = SelectedUserEntry();
    lstGebruikers->clear();
    lstGebruikers->addItems(core.UserListEntries());
    // Keep the operator's choice across a rebuild caused by someone else.
    if (!selected.isEmpty()) {
        const auto found = lstGebruikers->findItems(selected, Qt::MatchExactly);
        if (!found.isEmpty())
            lstGebruikers->setCurrentItem(found.first());
    }
}

void frmMain::ShowBanList() {
    lstBanlist->clear();
    lstBanlist->addItems(core.BanList());
}

} // namespace server
