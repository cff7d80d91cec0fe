// SPDX-License-Identifier: GPL-3.0-or-later
#include "about/ScreenUnits.h"
#include "server/ui/frmLog.h"
#include "tests/server/ui/MainWindowFixture.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using server::frmMain;

namespace {
int Px(int twips) {
    return ui::TwipsToPixels(twips);
}
} // namespace

TEST_F(MainWindowTest, FirstStartWithAnEmptyStore) {
    frmMain& w = Open();
    EXPECT_EQ(w.windowTitle(), "ZindleChat Server");
    EXPECT_EQ(w.txtServerNaam->text(), "");
    EXPECT_EQ(w.txtMOTD->toPlainText(), "");
    EXPECT_EQ(w.txtPort->text(), "12345");
    EXPECT_EQ(w.txtPassword->text(), "");
    EXPECT_FALSE(w.chkPassword->isChecked());
    EXPECT_FALSE(w.chkDubbelIP->isChecked());
    EXPECT_TRUE(core->ChatLog());
    EXPECT_TRUE(w.LogWindow()->mnuOpties(0)->isChecked());
    EXPECT_TRUE(w.LogWindow()->isHidden());
    // Written at start-up, before anything else is saved.
    EXPECT_EQ(Stored("ChatLog"), "-1");
    EXPECT_EQ(Stored("Port"), "<missing>");
    EXPECT_EQ(w.lblInfo->text(), "Server\n Versie 0.2 build #0004");
    EXPECT_FALSE(w.lblLocalIP->text().isEmpty());
    EXPECT_FALSE(w.cmdSaveMOTD->isVisibleTo(&w));
    EXPECT_FALSE(w.cmdCancelMOTD->isVisibleTo(&w));
    EXPECT_TRUE(core->Log().Text().endsWith("] STATUS [0] Serverprogramma opgestart!\r\n"));
    EXPECT_EQ(w.frameGeometry().width(), Px(frmMain::kStoppedWidthTwips));
}

TEST_F(MainWindowTest, StoredValuesComeBackAndExitWritesTheEditedTexts) {
    Store("ServerNaam", "Kamer");
    Store("MOTD", "Welkom\r\nregel 2");
    Store("Port", "2345");
    Store("Password", "geheim");
    Store("ChatLog", "0");
    Store("chkDubbelIP", "1");
    frmMain& w = Open();
    EXPECT_EQ(w.txtServerNaam->text(), "Kamer");
    EXPECT_EQ(w.MotdBoxText(), "Welkom\r\nregel 2");
    EXPECT_EQ(core->MOTD(), "Welkom\r\nregel 2");
    EXPECT_EQ(w.txtPort->text(), "2345");
    EXPECT_TRUE(w.chkPassword->isChecked());
    EXPECT_EQ(w.txtPassword->text(), "geheim");
    EXPECT_TRUE(w.chkDubbelIP->isChecked());
    EXPECT_FALSE(core->ChatLog());
    EXPECT_FALSE(w.LogWindow()->mnuOpties(0)->isChecked());
    EXPECT_FALSE(w.cmdSaveMOTD->isVisibleTo(&w));

    // Unsaved edits are stored as they stand; an unchecked password is stored empty.
    w.txtServerNaam->setText("Nieuwe kamer");
    w.setMotdBoxText("Hallo\r\nallemaal");
    w.chkPassword->setChecked(false);
    w.chkDubbelIP->setChecked(false);
    w.LogWindow()->mnuOpties(0)->trigger();
    EXPECT_TRUE(core->ChatLog());
    EXPECT_TRUE(w.close());
    EXPECT_EQ(ended, 1);
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(Stored("ServerNaam"), "Nieuwe kamer");
    EXPECT_EQ(Stored("MOTD"), "Hallo\r\nallemaal");
    EXPECT_EQ(Stored("Port"), "2345");
    EXPECT_EQ(Stored("Password"), "");
    EXPECT_EQ(Stored("ChatLog"), "-1");
    EXPECT_EQ(Stored("chkDubbelIP"), "0");
}

TEST_F(MainWindowTest, StartAndStopFollowTheStateTable) {
    frmMain& w = Open();
    w.show();
    auto stoppedControlsEnabled = [&] {
        return w.txtPort->isEnabled() && w.txtPassword->isEnabled() && w.chkPassword->isEnabled() &&
               w.chkDubbelIP->isEnabled();
    };
    EXPECT_EQ(w.cmdServerStart->text(), "&Server starten...");
    EXPECT_TRUE(w.mnuSystray(2)->isEnabled());
    EXPECT_FALSE(w.mnuSystray(3)->isEnabled());

    w.txtServerNaam->setText("Pending");
    StartOnFreePort();
    EXPECT_TRUE(w.Listening());
    EXPECT_EQ(core->ServerNaam(), "Pending"); // a pending edit is committed by the start
    EXPECT_FALSE(w.cmdSaveMOTD->isVisibleTo(&w));
    EXPECT_EQ(w.cmdServerStart->text(), "&Server stoppen...");
    EXPECT_FALSE(w.txtPort->isEnabled() || w.txtPassword->isEnabled() || w.chkPassword->isEnabled() ||
                 w.chkDubbelIP->isEnabled());
    EXPECT_FALSE(w.mnuSystray(2)->isEnabled());
    EXPECT_TRUE(w.mnuSystray(3)->isEnabled());
    EXPECT_EQ(w.frameGeometry().width(), Px(frmMain::kRunningWidthTwips));
    EXPECT_EQ(w.Image1->x(), (w.centralWidget()->width() - w.Image1->width()) / 2);
    EXPECT_EQ(w.lblInfo->x(), w.Image1->x() + Px(frmMain::kInfoOffsetTwips));
    EXPECT_TRUE(core->Log().Text().contains("STATUS [0] Server is gestart!"));

    // "No" keeps it running.
    answer = QMessageBox::No;
    w.cmdServerStart->click();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].text, "De server staat nog aan, weet u zeker dat u deze wilt stoppen?");
    EXPECT_EQ(asked[0].title, "ZindleChat");
    EXPECT_EQ(asked[0].icon, QMessageBox::Question);
    EXPECT_TRUE(w.Listening());
    EXPECT_FALSE(stoppedControlsEnabled());

    // Exiting while running asks; "No" keeps the window and the server.
    EXPECT_FALSE(w.close());
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[1].text, "De server staat nog aan, weet u zeker dat u af wilt sluiten?");
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.Listening());
    EXPECT_EQ(ended, 0);

    answer = QMessageBox::Yes;
    w.cmdServerStart->click();
    EXPECT_FALSE(w.Listening());
    EXPECT_EQ(w.cmdServerStart->text(), "&Server starten...");
    EXPECT_TRUE(stoppedControlsEnabled());
    EXPECT_TRUE(w.mnuSystray(2)->isEnabled());
    EXPECT_FALSE(w.mnuSystray(3)->isEnabled());
    EXPECT_EQ(w.frameGeometry().width(), Px(frmMain::kStoppedWidthTwips));
    EXPECT_EQ(w.Image1->x(), 0);
    EXPECT_EQ(w.lblInfo->x(), Px(frmMain::kInfoOffsetTwips));
    EXPECT_TRUE(core->Log().Text().endsWith("STATUS [0] Server is gestopt!\r\n"));
}

TEST_F(MainWindowTest, ListeningFailureShowsWhyAndStaysStopped) {
    frmMain& w = Open();
    QTcpServer occupier;
    ASSERT_TRUE(occupier.listen(QHostAddress::AnyIPv4, 0));
    for (const QString& port : {QString::number(occupier.serverPort()), QString("12a"), QString("70000")}) {
        asked.clear();
        w.txtPort->setText(port);
        w.cmdServerStart->click();
        ASSERT_EQ(asked.size(), 1u) << port.toStdString();
        EXPECT_EQ(asked[0].icon, QMessageBox::Critical);
        EXPECT_FALSE(asked[0].text.isEmpty());
        EXPECT_FALSE(w.Listening());
        EXPECT_EQ(w.cmdServerStart->text(), "&Server starten...");
        EXPECT_TRUE(w.txtPort->isEnabled());
        EXPECT_TRUE(w.mnuSystray(2)->isEnabled());
        EXPECT_EQ(w.frameGeometry().width(), Px(frmMain::kStoppedWidthTwips));
    }
    EXPECT_TRUE(core->Log().Text().contains("STATUS [0] Server kon niet worden gestart"));
}

TEST_F(MainWindowTest, WidthSnapsBackAndTheHeightIsTheUsers) {
    frmMain& w = Open();
    w.show();
    w.resize(900, 500);
    ASSERT_TRUE(WaitFor([&] { return w.frameGeometry().width() == Px(frmMain::kStoppedWidthTwips); }));
    EXPECT_EQ(w.height(), 500);
    StartOnFreePort();
    w.resize(300, 520);
    ASSERT_TRUE(WaitFor([&] { return w.frameGeometry().width() == Px(frmMain::kRunningWidthTwips); }));
    EXPECT_EQ(w.height(), 520);
}

TEST_F(MainWindowTest, SaveAndCancelAreVisibleExactlyWhileAnEditIsPending) {
    Store("ServerNaam", "Kamer");
    Store("MOTD", "Hoi");
    frmMain& w = Open();
    auto buttonsShown = [&] {
        EXPECT_EQ(w.cmdSaveMOTD->isVisibleTo(&w), w.cmdCancelMOTD->isVisibleTo(&w));
        return w.cmdSaveMOTD->isVisibleTo(&w);
    };
    w.txtServerNaam->setText("Kamers");
    EXPECT_TRUE(buttonsShown());
    w.txtServerNaam->setText("Kamer"); // typed back
    EXPECT_FALSE(buttonsShown());
    w.txtMOTD->setPlainText("Hoi\nallen");
    EXPECT_TRUE(buttonsShown());
    w.cmdCancelMOTD->click();
    EXPECT_FALSE(buttonsShown());
    EXPECT_EQ(w.MotdBoxText(), "Hoi");

    w.txtMOTD->setPlainText("Nieuw\nbericht");
    w.cmdSaveMOTD->click();
    EXPECT_FALSE(buttonsShown());
    EXPECT_EQ(core->MOTD(), "Nieuw\r\nbericht");
    EXPECT_EQ(core->ServerNaam(), "Kamer");

    // Cancel while running also puts the committed texts back.
    StartOnFreePort();
    w.txtServerNaam->setText("Anders");
    EXPECT_TRUE(buttonsShown());
    w.cmdCancelMOTD->click();
    EXPECT_EQ(w.txtServerNaam->text(), "Kamer");
    EXPECT_FALSE(buttonsShown());
    EXPECT_TRUE(w.Listening());
}

TEST_F(MainWindowTest, MotdBoxKeepsAtMostThreeHundredCharacters) {
    frmMain& w = Open();
    w.txtMOTD->setPlainText(QString(310, 'x'));
    EXPECT_EQ(w.MotdBoxText().size(), frmMain::kMotdMaxLength);
}

TEST_F(MainWindowTest, LogButtonShowsTheLogAndAboutOpensFromLogoAndVersion) {
    frmMain& w = Open();
    w.cmdLog->click();
    EXPECT_TRUE(w.LogWindow()->isVisible());
    EXPECT_TRUE(w.LogWindow()->txtLog->toPlainText().contains("Serverprogramma opgestart!"));

    QStringList shown;
    w.ShowAboutWindow = [&](QWidget*, const QString& text) { shown << text; };
    QTest::mouseDClick(w.Image1, Qt::LeftButton);
    QTest::mouseDClick(w.lblInfo, Qt::LeftButton);
    EXPECT_EQ(shown, QStringList({w.lblInfo->text(), w.lblInfo->text()}));
}
