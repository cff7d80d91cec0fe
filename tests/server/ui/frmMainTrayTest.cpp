// SPDX-License-Identifier: GPL-3.0-or-later
// The main window and its notification-area icon.
#include "server/ui/SysTray.h"
#include "tests/server/ui/MainWindowFixture.h"

#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTest>

using server::frmMain;

class TrayTest : public MainWindowTest {
protected:
    frmMain& OpenShown(bool trayAvailable = true) {
        frmMain& w = Open();
        w.setTrayAvailabilityCheck([trayAvailable] { return trayAvailable; });
        w.show();
        return w;
    }
    bool InTray() const { return window->isHidden() && window->Tray()->HasIcon(); }
    int IconCount() const {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return int(window->Tray()->findChildren<QSystemTrayIcon*>().size());
    }
    void Activate(QSystemTrayIcon::ActivationReason reason) {
        ASSERT_TRUE(window->Tray()->HasIcon());
        emit window->Tray()->TrayIcon()->activated(reason);
    }
};

TEST_F(TrayTest, MinimiseHidesBehindOneIconAndDoubleClickRestores) {
    frmMain& w = OpenShown();
    for (int round = 0; round < 2; ++round) {
        w.showMinimized();
        ASSERT_TRUE(WaitFor([&] { return InTray(); }));
        EXPECT_EQ(IconCount(), 1);
        EXPECT_EQ(w.Tray()->TrayIcon()->toolTip(), "ZindleChat Server v0.2 #0004");
        EXPECT_FALSE(w.isMinimized()); // comes back in normal size

        Activate(QSystemTrayIcon::Trigger); // a single click does nothing
        EXPECT_TRUE(InTray());
        Activate(QSystemTrayIcon::DoubleClick);
        EXPECT_TRUE(w.isVisible());
        EXPECT_FALSE(w.Tray()->HasIcon());
        EXPECT_EQ(IconCount(), 0);
    }
}

TEST_F(TrayTest, RightButtonMenuFollowsStartAndStopWhileHidden) {
    frmMain& w = OpenShown();
    const QStringList captions = {"Weergeven", "", "Server Starten", "Server Stoppen", "", "Afsluiten"};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(w.mnuSystray(i)->text(), captions[i]);
    EXPECT_EQ(w.menuSysTray->title(), "Systray");

    w.txtPort->setText(QString::number(FreePort()));
    w.showMinimized();
    ASSERT_TRUE(WaitFor([&] { return InTray(); }));
    Activate(QSystemTrayIcon::Context);
    EXPECT_TRUE(w.menuSysTray->isVisible());
    w.menuSysTray->hide();

    w.mnuSystray(2)->trigger(); // "Server Starten"
    EXPECT_TRUE(w.Listening());
    EXPECT_FALSE(w.mnuSystray(2)->isEnabled());
    EXPECT_TRUE(w.mnuSystray(3)->isEnabled());
    EXPECT_TRUE(InTray());

    answer = QMessageBox::No;
    w.mnuSystray(3)->trigger(); // "Server Stoppen", answered No
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].text, "De server staat nog aan, weet u zeker dat u deze wilt stoppen?");
    EXPECT_TRUE(w.Listening());
    EXPECT_TRUE(InTray());

    answer = QMessageBox::Yes;
    w.mnuSystray(3)->trigger();
    EXPECT_FALSE(w.Listening());
    EXPECT_TRUE(w.mnuSystray(2)->isEnabled());
    EXPECT_FALSE(w.mnuSystray(3)->isEnabled());
    EXPECT_TRUE(InTray());

    w.mnuSystray(0)->trigger(); // "Weergeven"
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.Tray()->HasIcon());
}

TEST_F(TrayTest, QuitFromTheMenuShowsTheWindowBeforeAsking) {
    frmMain& w = OpenShown();
    StartOnFreePort();
    w.showMinimized();
    ASSERT_TRUE(WaitFor([&] { return InTray(); }));

    bool shownWhenAsked = false;
    w.MsgBox = [&](QWidget*, QMessageBox::Icon, const QString&, const QString& text,
                   QMessageBox::StandardButtons) {
        asked.push_back({QMessageBox::Question, "ZindleChat", text});
        shownWhenAsked = w.isVisible();
        return QMessageBox::No;
    };
    w.mnuSystray(5)->trigger(); // "Afsluiten", answered No
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].text, "De server staat nog aan, weet u zeker dat u af wilt sluiten?");
    EXPECT_TRUE(shownWhenAsked);
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.Tray()->HasIcon());
    EXPECT_EQ(ended, 0);

    w.MsgBox = [](QWidget*, QMessageBox::Icon, const QString&, const QString&, QMessageBox::StandardButtons) {
        return QMessageBox::Yes;
    };
    w.showMinimized();
    ASSERT_TRUE(WaitFor([&] { return InTray(); }));
    w.mnuSystray(5)->trigger();
    EXPECT_EQ(ended, 1);
    EXPECT_FALSE(w.isVisible());
}

// Without a notification area nothing could bring a hidden window back.
TEST_F(TrayTest, WithoutANotificationAreaTheWindowJustMinimises) {
    frmMain& w = OpenShown(false);
    w.showMinimized();
    QTest::qWait(50);
    EXPECT_FALSE(w.isHidden());
    EXPECT_TRUE(w.isMinimized());
    EXPECT_FALSE(w.Tray()->HasIcon());
}
