// SPDX-License-Identifier: GPL-3.0-or-later
// The main window in the notification area: minimising hides it behind an icon,
// a double-click on the icon brings it back, the right button opens menuSysTray.
// Without a notification area the window just minimises, so it can't get lost.
#include "net/Winsock.h"
#include "server/ui/SysTray.h"
#include "server/ui/frmMain.h"

#include <QAction>
#include <QCursor>
#include <QMenu>

namespace server {

void frmMain::GoToTray() {
    if (!isMinimized() || !sysTray->Available())
        return;
    sysTray->AddTrayIcon(windowIcon(), TrayTip());
    hide();
    // Shown again in normal size when restored.
    setWindowState(windowState() & ~Qt::WindowMinimized);
}

void frmMain::SysTrayLButtonDblClick() {
    show();
    raise();
    activateWindow();
    sysTray->RemoveTrayIcon();
}

void frmMain::SysTrayRButtonDown() {
    menuSysTray->popup(QCursor::pos());
}

void frmMain::mnuSystray_Click(int index) {
    switch (index) {
    case 0:
        SysTrayLButtonDblClick();
        break;
    case 2:
    case 3:
        cmdServerStart_Click();
        break;
    case 5:
        SysTrayLButtonDblClick();
        net::DoEvents();
        close();
        break;
    default:
        break;
    }
}

} // namespace server
