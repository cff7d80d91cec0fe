// SPDX-License-Identifier: GPL-3.0-or-later
// Private conversations: both ways a window opens, what it sends and echoes, the
// 250-slot limit, and slots coming free again.
#include "ClientFixture.h"
#include "client/core/TranscriptWriter.h"
#include "client/ui/frmMainPrivate.h"
#include "common/ZindleDivideCombine.h"
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>

using namespace testsupport;

namespace {

class PrivateWindowTest : public ClientFixture {
protected:
    void SetUp() override {
        ClientFixture::SetUp();
        ASSERT_TRUE(LogIn(QStringLiteral("Jan"), {"1#Jan#0", "2#Piet#1", "3#Kees#0"}));
        server.Take();
    }
    client::frmMainPrivate* Window(int slot) { return main->PrivateWindows[std::size_t(slot)]; }
    client::frmMainPrivate* OpenByDoubleClick(int row) {
        main->lstNicknames->setCurrentRow(row);
        main->lstNicknames_DblClick();
        const int slot = main->PrivateChats.find(main->lstNicknames->item(row)->data(Qt::UserRole).toInt());
        return slot ? Window(slot) : nullptr;
    }
    static QByteArray Priv(const std::string& to, const std::string& text) {
        return Command("PRIV" + ZindleDivideCombine::Combine({to, text}));
    }
    static void Send(client::frmMainPrivate* window, const QString& line) {
        window->txtInput->setText(line);
        window->cmdDefault->click();
    }
};

TEST_F(PrivateWindowTest, DoubleClickOpensOneWindowPerPartnerWithoutTheAwayPrefix) {
    client::frmMainPrivate* window = OpenByDoubleClick(1);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(main->PrivateChats.find(2), 1);
    EXPECT_EQ(main->PrivateChats.slot(1).Nickname, QStringLiteral("Piet"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Piet - ZindleChat"));
    EXPECT_EQ(window->Tag, QStringLiteral("2"));
    EXPECT_EQ(window->sRemoteNickname, QStringLiteral("Piet"));
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isMinimized());

    EXPECT_EQ(OpenByDoubleClick(1), window); // raised, not doubled
    EXPECT_EQ(main->PrivateChats.heldCount(), 1);

    main->mnuNicknames[0]->trigger(); // "Privegesprek starten" is the same handling
    EXPECT_EQ(main->PrivateChats.heldCount(), 1);
}

TEST_F(PrivateWindowTest, IncomingMessageOpensAMinimisedWindowThatTakesNoFocus) {
    main->activateWindow();
    main->txtInput->setFocus();
    server.Send(Priv("3", "hoi\r\n"));
    ASSERT_TRUE(WaitFor([&] { return main->PrivateChats.find(3) != 0; }));
    client::frmMainPrivate* window = Window(main->PrivateChats.find(3));
    ASSERT_NE(window, nullptr);
    Pump(50); // let the platform do whatever it does with the new window
    EXPECT_TRUE(window->isMinimized());
    EXPECT_TRUE(window->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_EQ(QApplication::focusWidget(), main->txtInput);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Kees - ZindleChat"));
    EXPECT_TRUE(window->Transcript().plainText().endsWith(QStringLiteral("] Kees> hoi\r\n")));

    // A second message and an action from the same partner land in the same window;
    // an upper-case "/ME " is an ordinary line.
    server.Send(Priv("3", "/me lacht\r\n") + Priv("3", "/ME niet\r\n"));
    ASSERT_TRUE(WaitFor([&] { return window->Transcript().plainText().contains("niet"); }));
    EXPECT_EQ(main->PrivateChats.heldCount(), 1);
    EXPECT_TRUE(window->Transcript().plainText().contains(QStringLiteral("] * Kees lacht\r\n")));
    EXPECT_TRUE(window->Transcript().plainText().contains(QStringLiteral("] Kees> /ME niet\r\n")));
}

// Restoring from minimised changes the state and not the size, so no resize
// comes; the window must lay itself out all the same.
TEST_F(PrivateWindowTest, RestoredFromMinimisedTheWindowIsLaidOut) {
    server.Send(Priv("3", "hoi\r\n"));
    ASSERT_TRUE(WaitFor([&] { return main->PrivateChats.find(3) != 0; }));
    client::frmMainPrivate* window = Window(main->PrivateChats.find(3));
    ASSERT_NE(window, nullptr);
    Pump(20);
    ASSERT_TRUE(window->isMinimized());
    window->resize(640, 400); // its size as the platform gives it, while minimised
    window->setWindowState(Qt::WindowNoState);
    Pump(20);
    ASSERT_FALSE(window->isMinimized());
    EXPECT_EQ(window->txtOutput->width(), window->width());
    EXPECT_EQ(window->cmdClose->geometry().right(), window->width() - 1);
    EXPECT_EQ(window->cmdClose->geometry().bottom(), window->height() - 1);
    EXPECT_EQ(window->txtInput->geometry().bottom(), window->height() - 1);
}

TEST_F(PrivateWindowTest, SendingGoesAsPrivAndIsEchoedLocally) {
    client::frmMainPrivate* window = OpenByDoubleClick(2);
    ASSERT_NE(window, nullptr);

    Send(window, QStringLiteral(" hallo "));
    EXPECT_EQ(server.WaitFor(QByteArray(1, '\0')), Priv("3", " hallo \r\n"));
    EXPECT_TRUE(window->Transcript().plainText().endsWith(QStringLiteral("] Jan>  hallo \r\n")));
    EXPECT_TRUE(window->txtInput->text().isEmpty());
    EXPECT_FALSE(window->cmdDefault->isEnabled());

    Send(window, QStringLiteral("/me zwaait"));
    EXPECT_EQ(server.WaitFor(QByteArray(1, '\0')), Priv("3", "/me zwaait\r\n"));
    EXPECT_TRUE(window->Transcript().plainText().endsWith(QStringLiteral("] * Jan zwaait\r\n")));

    // "/away" toggles away through the main session; other commands do nothing.
    const QString before = window->Transcript().plainText();
    Send(window, QStringLiteral("/AWAY"));
    EXPECT_EQ(server.WaitFor(QByteArray(1, '\0')), Command("AWAY"));
    EXPECT_TRUE(main->Away());
    Send(window, QStringLiteral("/wat"));
    Pump(30);
    EXPECT_TRUE(server.Take().isEmpty());
    EXPECT_EQ(window->Transcript().plainText(), before);
}

TEST_F(PrivateWindowTest, ALineTypedAfterTheConnectionIsLostIsNotEchoedAsSent) {
    client::frmMainPrivate* window = OpenByDoubleClick(1);
    ASSERT_NE(window, nullptr);
    main->SetCountdownTick(1000);
    server.CloseClient();
    ASSERT_TRUE(WaitFor([&] { return main->tmr_Disconnect->isActive(); }));
    Send(window, QStringLiteral("hallo?"));
    const QString transcript = window->Transcript().plainText();
    EXPECT_FALSE(transcript.contains(QStringLiteral("Jan> hallo?")));
    EXPECT_TRUE(
        transcript.endsWith(QStringLiteral("] **NIET VERSTUURD: GEEN VERBINDING MET DE SERVER**\r\n")));
}

TEST_F(PrivateWindowTest, ClosingFreesTheSlotAndTheNextConversationStartsEmpty) {
    client::frmMainPrivate* window = OpenByDoubleClick(1);
    ASSERT_NE(window, nullptr);
    window->AddOutput(QStringLiteral("iets\r\n"));
    window->Toolbar1Buttons[3]->trigger(); // "Sluiten"
    EXPECT_EQ(main->PrivateChats.find(2), 0);
    Pump(10);
    EXPECT_EQ(Window(1), nullptr); // deleted on close

    client::frmMainPrivate* again = OpenByDoubleClick(1);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(main->PrivateChats.find(2), 1);
    EXPECT_TRUE(again->Transcript().plainText().isEmpty());
}

TEST_F(PrivateWindowTest, AllSlotsHeldShowsTheMessageAndStopsTheArrival) {
    for (int id = 100; id < 100 + client::PrivateChats::kSlots; ++id)
        ASSERT_NE(main->PrivateChats.allocate(id, QString()), 0);

    OpenByDoubleClick(1);
    ASSERT_EQ(rec.notices.size(), 1);
    EXPECT_EQ(rec.notices[0].icon, QMessageBox::Critical);
    EXPECT_EQ(rec.notices[0].title, QStringLiteral("ZindleChat"));
    EXPECT_EQ(rec.notices[0].text, QStringLiteral("Er staan teveel chatschermen open, sluit er een af."));
    EXPECT_EQ(main->PrivateChats.find(2), 0);
    CloseMessageBoxes();

    // The message is lost and the rest of that arrival is not handled.
    server.Send(Priv("3", "hoi\r\n") + Command("USRD2"));
    ASSERT_TRUE(WaitFor([&] { return rec.notices.size() == 2; }));
    Pump(30);
    EXPECT_EQ(main->lstNicknames->count(), 3);
    CloseMessageBoxes();

    // One slot coming free is taken by the next opening.
    main->PrivateChats.release(150);
    client::frmMainPrivate* window = OpenByDoubleClick(1);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(main->PrivateChats.find(2), 51);
}

// The box comes up while the session is reading: it must not wait there for its
// answer, or the socket's bytes pile up unread behind it.
TEST_F(PrivateWindowTest, TooManyChatsBoxLetsTheSessionGoOn) {
    for (int id = 100; id < 100 + client::PrivateChats::kSlots; ++id)
        ASSERT_NE(main->PrivateChats.allocate(id, QString()), 0);

    server.Send(Priv("3", "hoi\r\n"));
    ASSERT_TRUE(WaitFor([&] { return VisibleMessageBoxes().size() == 1; }));
    QMessageBox* box = VisibleMessageBoxes().front();
    EXPECT_EQ(box->text(), QStringLiteral("Er staan teveel chatschermen open, sluit er een af."));
    EXPECT_EQ(box->icon(), QMessageBox::Critical);

    // While it is up the session goes on, and more lost messages add no boxes.
    // (A lost message drops the rest of its arrival: each goes on its own.)
    for (int i = 0; i < 20; ++i) {
        server.Send(Priv(std::to_string(10 + i), "flood\r\n"));
        Pump(5);
    }
    Pump(20);
    server.Send(Command("USRN9#Nieuw#0"));
    ASSERT_TRUE(WaitFor([&] { return main->lstNicknames->count() == 4; }));
    EXPECT_EQ(VisibleMessageBoxes().size(), 1u);
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(main->PrivateChats.heldCount(), client::PrivateChats::kSlots);

    // Once answered, the next lost message brings it back.
    box->close();
    server.Send(Priv("3", "nog eens\r\n"));
    ASSERT_TRUE(WaitFor([&] { return VisibleMessageBoxes().size() == 1; }));
    CloseMessageBoxes();
}

TEST_F(PrivateWindowTest, ToolbarOffersAFileToThePartner) {
    client::frmMainPrivate* window = OpenByDoubleClick(1);
    ASSERT_NE(window, nullptr);
    const int before = QApplication::topLevelWidgets().size();
    window->Toolbar1Buttons[1]->trigger();
    QWidget* send = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->windowTitle() == QStringLiteral("Piet - Bestand sturen") && w->isVisible())
            send = w;
    ASSERT_NE(send, nullptr);
    EXPECT_EQ(QApplication::topLevelWidgets().size(), before + 1);
    send->close();
}

TEST_F(PrivateWindowTest, TheEndOfASessionClosesEveryPrivateWindow) {
    OpenByDoubleClick(1);
    OpenByDoubleClick(2);
    ASSERT_EQ(main->PrivateChats.heldCount(), 2);
    main->mnuZindleChat[0]->trigger();
    ASSERT_TRUE(WaitFor([&] { return dialog->isVisible(); }));
    EXPECT_EQ(main->PrivateChats.heldCount(), 0);
    Pump(10);
    EXPECT_EQ(Window(1), nullptr);
    EXPECT_EQ(Window(2), nullptr);
}

} // namespace
