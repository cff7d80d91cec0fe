// SPDX-License-Identifier: GPL-3.0-or-later
// The main window against a scripted server: what the input line puts on the
// wire, the user list, the menus, the colours and the keys.
#include "ClientFixture.h"
#include "client/core/ClientSession.h"
#include "client/core/TranscriptWriter.h"
#include "client/filetransfer/frmFileReceive.h"
#include "client/filetransfer/frmFileSend.h"
#include "client/ui/Comforts.h"
#include "common/ZindleDivideCombine.h"
#include "net/SettingsStore.h"
#include "net/Winsock.h"
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>

using namespace testsupport;

namespace {

class MainWindowTest : public ClientFixture {
protected:
    void SetUp() override {
        ClientFixture::SetUp();
        ASSERT_TRUE(LogIn(QStringLiteral("Jan"), {"1#Jan#0", "2#Piet#1"}));
        server.Take();
    }

    // Types a line and presses Enter, as the user does.
    void Type(const QString& line) {
        main->txtInput->setFocus();
        QTest_KeyClicks(main->txtInput, line);
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(main->txtInput, &enter);
    }
    static void QTest_KeyClicks(QWidget* target, const QString& text) {
        for (QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QCoreApplication::sendEvent(target, &press);
            QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
            QCoreApplication::sendEvent(target, &release);
        }
    }
    static void Ctrl(QWidget* target, Qt::Key key) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::ControlModifier);
        QCoreApplication::sendEvent(target, &press);
    }
    QStringList ListTexts() const {
        QStringList out;
        for (int i = 0; i < main->lstNicknames->count(); ++i)
            out << main->lstNicknames->item(i)->text() + "=" +
                       main->lstNicknames->item(i)->data(Qt::UserRole).toString();
        return out;
    }
    void Select(int row) { main->lstNicknames->setCurrentRow(row); }
};

TEST_F(MainWindowTest, InputLinesBecomeTheExactBytesOnTheWire) {
    Type(QStringLiteral("hallo #1\\"));
    EXPECT_EQ(server.WaitFor(QByteArray(1, '\0')), Chat("Jan> hallo \\#1\\\\\\r\\n"));
    EXPECT_TRUE(main->txtInput->text().isEmpty());
    EXPECT_FALSE(main->cmdDefault->isEnabled());

    Type(QStringLiteral("  /me zwaait  "));
    EXPECT_EQ(server.WaitFor(QByteArray(1, '\0')), Chat("* Jan zwaait\\r\\n"));

    Type(QStringLiteral("  gewoon  ")); // not trimmed
    EXPECT_EQ(server.WaitFor(QByteArray(1, '\0')), Chat("Jan>   gewoon  \\r\\n"));

    // "/me" alone and unknown commands send nothing at all.
    Type(QStringLiteral("/me"));
    Type(QStringLiteral("/onbekend"));
    Pump(50);
    EXPECT_TRUE(server.Take().isEmpty());
    EXPECT_TRUE(main->txtInput->text().isEmpty());

    // A character Latin-1 cannot carry makes the line UTF-8; without UTF-8 it goes as one "?".
    Type(QStringLiteral("prijs \u20AC5"));
    EXPECT_EQ(server.WaitFor(QByteArray(1, '\0')), Chat("Jan> prijs \xE2\x82\xAC"
                                                        "5\\r\\n"));
    main->Extras().setOn(client::Comfort::Unicode, false);
    Type(QStringLiteral("prijs \u20AC5"));
    EXPECT_EQ(server.WaitFor(QByteArray(1, '\0')), Chat("Jan> prijs ?5\\r\\n"));
    main->Extras().setOn(client::Comfort::Unicode, true);
}

TEST_F(MainWindowTest, AwayByCommandKeyAndToolbarFlipsCaptionAndButton) {
    const QString caption = main->windowTitle();
    EXPECT_EQ(caption, QStringLiteral("ZindleChat - [Jan] [Kamer] [v0.2.0004]"));

    Type(QStringLiteral("/away"));
    EXPECT_EQ(server.WaitFor(QByteArray(1, '\0')), Command("AWAY"));
    EXPECT_TRUE(main->Away());
    EXPECT_EQ(main->windowTitle(), QStringLiteral("AWAY - ") + caption);
    EXPECT_TRUE(main->Toolbar1Buttons[3]->isChecked());
    EXPECT_TRUE(main->txtInput->text().isEmpty());

    Ctrl(main->txtInput, Qt::Key_A);
    EXPECT_EQ(server.WaitFor(QByteArray(1, '\0')), Command("AWAY"));
    EXPECT_FALSE(main->Away());
    EXPECT_EQ(main->windowTitle(), caption);
    EXPECT_FALSE(main->Toolbar1Buttons[3]->isChecked());

    main->Toolbar1Buttons[3]->trigger();
    EXPECT_EQ(server.WaitFor(QByteArray(1, '\0')), Command("AWAY"));
    EXPECT_TRUE(main->Away());
    EXPECT_TRUE(main->Toolbar1Buttons[3]->isChecked());
}

TEST_F(MainWindowTest, KeysOfTheInputLineAndTheTranscript) {
    main->txtInput->setText(QStringLiteral("ab"));
    main->txtInput->setCursorPosition(1);
    Ctrl(main->txtInput, Qt::Key_K);
    EXPECT_EQ(main->txtInput->text(), QStringLiteral("a\u0001b"));
    EXPECT_FALSE(main->Away());

    // Typing while the transcript has the focus goes to the input line's caret,
    // replacing its selection.
    main->txtInput->setText(QStringLiteral("hallo"));
    main->txtInput->setSelection(1, 3);
    QKeyEvent x(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
    QCoreApplication::sendEvent(main->txtOutput, &x);
    EXPECT_EQ(main->txtInput->text(), QStringLiteral("hxo"));

    // The send button follows the line's content.
    main->txtInput->clear();
    EXPECT_FALSE(main->cmdDefault->isEnabled());
    main->txtInput->setText(QStringLiteral(" "));
    EXPECT_TRUE(main->cmdDefault->isEnabled());
}

TEST_F(MainWindowTest, NoTextBoxCanPutANulOnTheWire) {
    main->txtInput->setText(QStringLiteral("a"));
    main->txtInput->insert(QString(QChar(0)) + QStringLiteral("b"));
    EXPECT_EQ(main->txtInput->text(), QStringLiteral("ab"));
    main->txtInput->insert(QString(QChar(0)) + QStringLiteral("\U0001F600"));
    EXPECT_EQ(main->txtInput->text(), QStringLiteral("ab\U0001F600")); // every other character stays
    EXPECT_EQ(main->txtInput->cursorPosition(), 4);
}

TEST_F(MainWindowTest, UserListMirrorsTheSession) {
    EXPECT_EQ(ListTexts(), (QStringList{"Jan=1", "Away|Piet=2"}));
    server.Send(Command("USRN3#Kees#0") + Command("USRC2#Piet#0") + Command("USRD1") + Command("USRD9"));
    ASSERT_TRUE(WaitFor([&] { return main->lstNicknames->count() == 2 && ListTexts()[0] == "Piet=2"; }));
    EXPECT_EQ(ListTexts(), (QStringList{"Piet=2", "Kees=3"}));
    EXPECT_TRUE(
        main->Transcript().plainText().contains(QStringLiteral("* Kees is de chatserver binnengekomen...")));
    EXPECT_TRUE(
        main->Transcript().plainText().contains(QStringLiteral("* Jan heeft de chatserver verlaten...")));
}

TEST_F(MainWindowTest, SendButtonOfTheToolbarAndThePopUpFollowTheSelection) {
    auto sendWindows = [] {
        QList<client::frmFileSend*> out;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* s = qobject_cast<client::frmFileSend*>(w); s && s->isVisible())
                out << s;
        return out;
    };
    EXPECT_FALSE(main->Toolbar1Buttons[5]->isEnabled());
    main->Toolbar1_ButtonClick(5); // nothing without a selection
    EXPECT_TRUE(sendWindows().isEmpty());

    Select(1);
    EXPECT_TRUE(main->Toolbar1Buttons[5]->isEnabled());
    main->mnuNicknames[1]->trigger(); // "Bestand versturen"
    ASSERT_EQ(sendWindows().size(), 1);
    client::frmFileSend* send = sendWindows().first();
    EXPECT_EQ(send->RemoteUserID, 2);
    EXPECT_EQ(send->RemoteUser, QStringLiteral("Away|Piet"));
    EXPECT_EQ(send->windowTitle(), QStringLiteral("Away|Piet - Bestand sturen"));
    send->close();
}

TEST_F(MainWindowTest, FileOfferOpensAQuietReceiveWindowThatConnectsToTheSender) {
    QTcpServer sender;
    ASSERT_TRUE(sender.listen(QHostAddress::LocalHost, 0));
    client::FileTransferDialogs quiet;
    quiet.openFile = [](QWidget*, const QString& current) { return current; };
    quiet.saveFile = [](QWidget*, const QString& preset) { return preset; };
    quiet.messageBox = [](QWidget*, QMessageBox::Icon, const QString&, QMessageBox::StandardButtons) {
        return QMessageBox::No;
    };
    quiet.openWithAssociatedProgram = [](const QString&) {};
    main->FileDialogs = quiet;
    main->activateWindow();
    main->txtInput->setFocus();

    server.Send(Command("FILE" + ZindleDivideCombine::Combine(
                                     {"2", "foto.jpg", "127.0.0.1", std::to_string(sender.serverPort())})));
    ASSERT_TRUE(WaitFor([&] { return sender.hasPendingConnections(); }));
    client::frmFileReceive* receive = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* r = qobject_cast<client::frmFileReceive*>(w); r && r->isVisible())
            receive = r;
    ASSERT_NE(receive, nullptr);
    EXPECT_EQ(receive->RemoteUserID, 2);
    EXPECT_EQ(receive->RemoteUser, QStringLiteral("Piet")); // without "Away|"
    EXPECT_EQ(receive->FileName, QStringLiteral("foto.jpg"));
    EXPECT_EQ(receive->windowTitle(), QStringLiteral("Piet - Bestand ontvangen"));
    EXPECT_TRUE(receive->isMinimized());
    Pump(30);
    EXPECT_EQ(QApplication::focusWidget(), main->txtInput);
    delete receive;
}

TEST_F(MainWindowTest, ColourChoiceAppliesToBoxesAndNewLinesOnlyAndResetRestoresDefaults) {
    server.Send(Chat("Piet> eerst\\r\\n"));
    ASSERT_TRUE(WaitFor([&] { return main->Transcript().plainText().contains("eerst"); }));

    rec.nextColor = QColor(0, 0, 255);
    main->mnuKleuren[0]->trigger(); // "Achtergrond"
    EXPECT_EQ(main->Colors().Background, 16711680);
    EXPECT_EQ(main->txtOutput->palette().color(QPalette::Base), QColor(0, 0, 255));
    EXPECT_EQ(main->lstNicknames->palette().color(QPalette::Base), QColor(0, 0, 255));
    EXPECT_EQ(main->txtInput->palette().color(QPalette::Base), QColor(0, 0, 255));

    rec.nextColor = QColor(0, 128, 0);
    main->mnuKleuren[2]->trigger(); // "Nicknames"
    EXPECT_EQ(main->Colors().Nickname, 128 * 256);

    rec.nextColor = QColor(); // dismissed: the preset comes back
    main->mnuKleuren[4]->trigger();
    EXPECT_EQ(main->Colors().Action, client::ChatColors{}.Action);

    server.Send(Chat("Piet> daarna\\r\\n"));
    ASSERT_TRUE(WaitFor([&] { return main->Transcript().plainText().contains("daarna"); }));
    auto colourAt = [&](const QString& word) {
        QTextCursor cursor = main->txtOutput->document()->find(word);
        return cursor.charFormat().foreground().color();
    };
    EXPECT_EQ(colourAt(QStringLiteral("Piet> eerst").left(4)), QColor(255, 136, 0)); // first "Piet"
    QTextCursor later = main->txtOutput->document()->find(QStringLiteral("Piet"), 30);
    EXPECT_EQ(later.charFormat().foreground().color(), QColor(0, 128, 0));

    main->mnuKleuren[7]->trigger(); // "Standaardkleuren herstellen"
    EXPECT_EQ(main->Colors(), client::ChatColors{});
    EXPECT_EQ(main->txtOutput->palette().color(QPalette::Base), QColor(Qt::white));
    EXPECT_EQ(main->lstNicknames->palette().color(QPalette::Text), QColor(Qt::black));
}

TEST_F(MainWindowTest, DisconnectReturnsAtOnceAndTheNextLossWaitsAgain) {
    main->SetCountdownTick(1000);
    main->mnuZindleChat[0]->trigger(); // "Verbinding verbreken..."
    EXPECT_FALSE(main->txtInput->isEnabled());
    EXPECT_EQ(main->lstNicknames->count(), 0);
    EXPECT_EQ(main->tmr_Disconnect->interval(), 1);
    ASSERT_TRUE(WaitFor([&] { return dialog->isVisible(); }, 500));
    EXPECT_FALSE(main->isVisible());
    EXPECT_EQ(main->tmr_Disconnect->interval(), 1000);
    EXPECT_TRUE(WaitFor(
        [&] { return server.client.isNull() || server.client->state() != QAbstractSocket::ConnectedState; }));
}

TEST_F(MainWindowTest, DisconnectDuringTheCountdownOnlyHurriesIt) {
    int endLines = 0;
    QObject::connect(main->Session, &client::ClientSession::output, main.get(), [&](const QString& line) {
        endLines += line.contains(QStringLiteral("VERBINDING BE\u00CBINDIGD"));
    });
    main->SetCountdownTick(1000);
    server.CloseClient();
    ASSERT_TRUE(WaitFor([&] { return main->tmr_Disconnect->isActive(); }));
    main->mnuZindleChat[0]->trigger();
    ASSERT_TRUE(WaitFor([&] { return dialog->isVisible(); }, 500));
    EXPECT_EQ(endLines, 1);
    EXPECT_EQ(main->tmr_Disconnect->interval(), 1000);
}

TEST_F(MainWindowTest, RightClickOnTheListShowsItsMenuOnlyWithASelection) {
    auto rightRelease = [&] {
        const QPoint at = main->lstNicknames->visualItemRect(main->lstNicknames->item(0)).center();
        QMouseEvent release(QEvent::MouseButtonRelease, at, main->lstNicknames->viewport()->mapToGlobal(at),
                            Qt::RightButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(main->lstNicknames->viewport(), &release);
    };
    main->lstNicknames->clearSelection();
    rightRelease();
    EXPECT_FALSE(main->menuNicknames->isVisible());
    Select(0);
    rightRelease();
    EXPECT_TRUE(main->menuNicknames->isVisible());
    main->menuNicknames->hide();

    main->Toolbar1_ButtonClick(1); // "Opties"
    EXPECT_TRUE(main->menuZindleChat->isVisible());
    main->menuZindleChat->hide();
}

TEST_F(MainWindowTest, PopUpMenusHoldTheirItemsAndAboutAndExitWork) {
    QStringList items;
    for (QAction* a : main->menuZindleChat->actions())
        items << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(items, (QStringList{"Verbinding verbreken...", "-", "Kleuren", "Voorkeuren", "-",
                                  "Over ZindleChat...", "Afsluiten"}));
    items.clear();
    for (QAction* a : main->menuNicknames->actions())
        items << a->text();
    EXPECT_EQ(items, (QStringList{"Privegesprek starten", "Bestand versturen"}));

    main->mnuZindleChat[4]->trigger();
    EXPECT_EQ(rec.aboutShown, 1);

    rec.nextColor = QColor(1, 2, 3);
    main->mnuKleuren[5]->trigger();
    main->mnuZindleChat[5]->trigger(); // "Afsluiten": saves and ends the program
    EXPECT_EQ(rec.programEnded, 1);
    EXPECT_EQ(
        net::GetSetting(QStringLiteral("ZindleChat"), QStringLiteral("Colors"), QStringLiteral("Timestamp")),
        QString::number(1 + 2 * 256 + 3 * 65536));
    EXPECT_EQ(
        net::GetSetting(QStringLiteral("ZindleChat"), QStringLiteral("Options"), QStringLiteral("Nickname")),
        QStringLiteral("Jan"));
}

TEST_F(MainWindowTest, ResizeLaysOutAroundTheListAndIgnoresTinySizes) {
    main->resize(600, 400);
    Pump(10);
    const QRect list = main->lstNicknames->geometry();
    EXPECT_EQ(list.right(), 599);
    EXPECT_EQ(main->txtOutput->geometry().right() + 1, list.left());
    EXPECT_EQ(main->txtInput->geometry().bottom(), 399);
    EXPECT_EQ(main->cmdDefault->geometry().right(), 599);
    EXPECT_EQ(main->txtInput->geometry().top(), main->cmdDefault->geometry().top());

    main->resize(10, 400); // narrower than 300 twips: nothing moves
    Pump(10);
    EXPECT_EQ(main->lstNicknames->geometry(), list);
}

} // namespace
