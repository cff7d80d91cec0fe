// SPDX-License-Identifier: GPL-3.0-or-later
// The user area of the main window: kick, ban, info, copy address, ban list.
#include "server/core/ServerCore.h"
#include "server/ui/frmMain.h"

#include <QClipboard>
#include <QGroupBox>
#include <QGuiApplication>
#include <QListWidget>

namespace server {

int frmMain::SelectedUserSlot() const {
    const QListWidgetItem* item = lstGebruikers->currentItem();
    return item && item->isSelected() ? item->data(Qt::UserRole).toInt() : -1;
}

void frmMain::cmdKick_Click() {
    const int slot = SelectedUserSlot();
    if (slot > 0)
        core.Kick(slot);
}

void frmMain::cmdBan_Click() {
    const int slot = SelectedUserSlot();
    if (slot > 0)
        core.Ban(slot);
}

void frmMain::cmdInfo_Click() {
    const int slot = SelectedUserSlot();
    if (slot < 0)
        return;
    // The host name is looked up only now; the box waits for it (a few seconds at most).
    core.LookUpHost(slot, this, [this, slot] {
        const QString text = core.UserInfoText(slot);
        if (!text.isEmpty())
            MsgBox(this, QMessageBox::Information, "ZindleChat", text, QMessageBox::Ok);
    });
}

void frmMain::cmdCopyIP_Click() {
    const int slot = SelectedUserSlot();
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
    const int selected = SelectedUserSlot();
    lstGebruikers->clear();
    // The item shows "slot#nickname"; the slot itself rides along for kick and ban.
    for (const auto& [slot, nickname] : core.UserList()) {
        auto* item = new QListWidgetItem(QString::number(slot) + u'#' + nickname, lstGebruikers);
        item->setData(Qt::UserRole, slot);
        // Keep the operator's choice across a rebuild caused by someone else.
        if (slot == selected)
            lstGebruikers->setCurrentItem(item);
    }
}

void frmMain::ShowBanList() {
    lstBanlist->clear();
    lstBanlist->addItems(core.BanList());
}

} // namespace server
