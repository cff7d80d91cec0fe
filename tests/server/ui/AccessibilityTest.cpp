// SPDX-License-Identifier: GPL-3.0-or-later
// The server's windows for screen-reader users: every control named, every
// caption tied to its box, the menus named, and F10 in the log window.
#include "tests/server/ui/MainWindowFixture.h"

#include "about/frmAbout.h"
#include "server/ui/WindowAccessibility.h"
#include "server/ui/frmLog.h"
#include "tests/support/AccessibleTree.h"

#include <QAccessible>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTest>

using AccessibleServerTest = MainWindowTest;

TEST_F(AccessibleServerTest, EveryServerWindowNamesItsControlsAndTiesItsCaptions) {
    server::frmMain& w = Open();
    w.show();
    // Both user frames, stopped and running (the width changes with the state).
    EXPECT_TRUE(testsupport::Accessible(&w));
    StartOnFreePort();
    w.cmdBanList->click();
    EXPECT_TRUE(testsupport::Accessible(&w));
    EXPECT_TRUE(testsupport::Accessible(w.LogWindow()));
    about::frmAbout aboutWindow(server::frmMain::InfoCaption());
    EXPECT_TRUE(testsupport::Accessible(&aboutWindow));
    for (const QMenu* menu : {w.menuSysTray, server::UserMenu(w), w.LogWindow()->menuOpties})
        EXPECT_TRUE(testsupport::AccessibleMenu(menu));

    // Names a screen reader says for the settings.
    auto name = [](QWidget* box) {
        return QAccessible::queryAccessibleInterface(box)->text(QAccessible::Name);
    };
    EXPECT_EQ(name(w.txtServerNaam), "Servernaam");
    EXPECT_EQ(name(w.txtPassword), "Wachtwoord");
    EXPECT_EQ(name(w.chkPassword), "Wachtwoord vereisen");
    EXPECT_EQ(name(w.lstGebruikers), "Gebruikers");
    // The MOTD box does not keep Tab for itself.
    EXPECT_TRUE(w.txtMOTD->tabChangesFocus());
}

TEST_F(AccessibleServerTest, F10OpensTheLogWindowsMenu) {
    server::frmMain& w = Open();
    server::frmLog* log = w.LogWindow();
    log->show();
    log->activateWindow();
    ASSERT_TRUE(WaitFor([&] { return log->isActiveWindow(); }));
    QTest::keyClick(log, Qt::Key_F10);
    EXPECT_EQ(log->menuBar()->activeAction(), log->menuOpties->menuAction());
    log->hide();
}
