// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/ui/SysTray.h"

#include <QCoreApplication>
#include <QPixmap>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <gtest/gtest.h>

using server::SysTray;

TEST(SysTray, OneIconAtATimeWithTheGivenTip) {
    SysTray tray;
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::red);
    tray.AddTrayIcon(QIcon(pixmap), "ZindleChat Server v0.2 #0004");
    ASSERT_TRUE(tray.HasIcon());
    QSystemTrayIcon* first = tray.TrayIcon();
    EXPECT_EQ(first->toolTip(), "ZindleChat Server v0.2 #0004");
    tray.AddTrayIcon(QIcon(pixmap), "ZindleChat Server v0.2 #0004");
    EXPECT_NE(tray.TrayIcon(), first);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(tray.findChildren<QSystemTrayIcon*>().size(), 1);
    tray.RemoveTrayIcon();
    EXPECT_FALSE(tray.HasIcon());
    tray.RemoveTrayIcon(); // twice is harmless
}

TEST(SysTray, OnlyDoubleClickAndRightButtonReachTheOwner) {
    SysTray tray;
    tray.AddTrayIcon(QIcon(), "tip");
    QSignalSpy dbl(&tray, &SysTray::LButtonDblClick);
    QSignalSpy right(&tray, &SysTray::RButtonDown);
    emit tray.TrayIcon()->activated(QSystemTrayIcon::Trigger);
    emit tray.TrayIcon()->activated(QSystemTrayIcon::MiddleClick);
    EXPECT_EQ(dbl.count() + right.count(), 0);
    emit tray.TrayIcon()->activated(QSystemTrayIcon::DoubleClick);
    emit tray.TrayIcon()->activated(QSystemTrayIcon::Context);
    EXPECT_EQ(dbl.count(), 1);
    EXPECT_EQ(right.count(), 1);
}
