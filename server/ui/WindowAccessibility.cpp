// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/ui/WindowAccessibility.h"

#include "about/Accessibility.h"
#include "about/FocusRing.h"
#include "about/ListKeys.h"
#include "server/ui/frmLog.h"
#include "server/ui/frmMain.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>

namespace server {

namespace {
void NameSettings(frmMain& w) {
    QWidget* frame = w.frSettings;
    ui::TieCaption(frame, "Servernaam:", w.txtServerNaam);
    ui::TieCaption(frame, "MOTD:", w.txtMOTD);
    w.txtMOTD->setAccessibleDescription("Het bericht van de dag dat elke gebruiker bij binnenkomst krijgt");
    // The MOTD box lets Tab go on to the next control instead of typing a tab.
    w.txtMOTD->setTabChangesFocus(true);
    ui::TieCaption(frame, "Poort:", w.txtPort);
    ui::TieCaption(frame, "Wachtwoord:", w.txtPassword);
    ui::SetAccessible(w.chkPassword, "Wachtwoord vereisen",
                      "Aan: gebruikers moeten het wachtwoord hieronder opgeven");
    ui::TieCaption(frame, "IP Adres:", w.lblLocalIP);
    ui::TieCaption(frame, "Hostnaam:", w.lblLocalHost);
    ui::SetAccessible(w.lblLocalIP, "IP Adres");
    ui::SetAccessible(w.lblLocalHost, "Hostnaam");
    ui::TieCaption(frame, "TLS:", w.lblFingerprint);
    ui::SetAccessible(w.lblFingerprint, "TLS-vingerafdruk (SHA-256)");
    ui::SetAccessible(w.cmdCopyFingerprint, "Vingerafdruk kopiëren",
                      "Kopieert de SHA-256-vingerafdruk van het certificaat naar het klembord");
    ui::SetAccessible(w.Image1, "ZindleChat", "Dubbelklikken toont Over ZindleChat");
}

void AddUserMenu(frmMain& w) {
    auto* menu = new QMenu("Gebruikers", &w);
    menu->setObjectName("menuGebruikers");
    menu->setAccessibleName("Gebruikersmenu");
    for (QPushButton* button : {w.cmdKick, w.cmdBan, w.cmdInfo, w.cmdCopyIP, w.cmdBanList}) {
        QAction* item = menu->addAction(button->text());
        item->setObjectName("mnuGebruikers_" + button->objectName());
        QObject::connect(item, &QAction::triggered, button, &QPushButton::click);
    }
    new ui::ListKeys(
        w.lstGebruikers, [&w] { w.cmdInfo->click(); },
        [&w, menu](const QPoint& at) {
            if (w.lstGebruikers->currentItem() && w.lstGebruikers->currentItem()->isSelected())
                menu->popup(at);
        });
}
} // namespace

void MakeAccessible(frmMain& w) {
    NameSettings(w);
    ui::SetAccessible(w.lstGebruikers, "Gebruikers",
                      "Menutoets of Shift+F10: Kick, Ban, Info, IP Kopieren, Banlijst; Enter: Info");
    ui::SetAccessible(w.lstBanlist, "Banlijst");
    w.menuSysTray->setAccessibleName("Systeemvak");
    AddUserMenu(w);
    ui::FocusRing::AddToScrollingBoxes(&w);
    if (w.LogWindow())
        MakeAccessible(*w.LogWindow());
}

void MakeAccessible(frmLog& w) {
    ui::SetAccessible(w.txtLog, "Log");
    ui::FocusRing::AddToScrollingBoxes(&w);
    auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), &w);
    QObject::connect(f10, &QShortcut::activated, &w, [&w] {
        w.menuBar()->setFocus(Qt::ShortcutFocusReason);
        w.menuBar()->setActiveAction(w.menuOpties->menuAction());
    });
}

QMenu* UserMenu(const frmMain& window) {
    return window.findChild<QMenu*>("menuGebruikers");
}

} // namespace server
