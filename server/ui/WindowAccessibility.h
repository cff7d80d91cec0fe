// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The server's windows for keyboard and screen-reader users: names for every
// control, captions tied to their boxes, visible focus, the user menu on the
// Menu key or Shift+F10 in the user list (Kick, Ban, Info, IP Kopieren,
// Banlijst; Enter shows Info) and F10 for the log window's "Opties" menu.
class QMenu;

namespace server {

class frmLog;
class frmMain;

// Called at the end of the main window's set-up; also sets up its log window.
void MakeAccessible(frmMain& window);
void MakeAccessible(frmLog& window);

// The user menu the keyboard opens in the user list ("menuGebruikers").
QMenu* UserMenu(const frmMain& window);

} // namespace server
