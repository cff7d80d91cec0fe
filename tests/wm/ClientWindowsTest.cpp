// SPDX-License-Identifier: GPL-3.0-or-later
// The client's windows under a window manager: what arrives unasked opens
// minimised and leaves the focus where the user is typing, and a private window
// restored from there is laid out like one opened by hand.
#include "ClientFixture.h"
#include "WindowManager.h"
#include "client/ui/frmMainPrivate.h"
#include "common/ZindleDivideCombine.h"
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTextEdit>
#include <QToolBar>

using namespace testsupport;

namespace {

class ClientWindowsTest : public ClientFixture {
protected:
    void SetUp() override {
        if (QGuiApplication::platformName() != QStringLiteral("xcb"))
            GTEST_SKIP() << "needs an X display with a window manager (scripts/wm-tests.sh)";
        ClientFixture::SetUp();
        ASSERT_TRUE(LogIn(QStringLiteral("Jan"), {"1#Jan#0", "2#Piet#0"}));
        // The user is typing in the main window.
        main->activateWindow();
        ASSERT_TRUE(wmtest::WaitActive(main.get()));
        main->txtInput->setFocus();
        main->txtInput->setText(QStringLiteral("half getypt"));
    }

    // The main window keeps the activation and its input line the focus, also
    // after the window manager has had time to act on the new window.
    void ExpectTypingUndisturbed() {
        Pump(400);
        EXPECT_EQ(QApplication::activeWindow(), main.get());
        EXPECT_EQ(QApplication::focusWidget(), main->txtInput);
        EXPECT_EQ(main->txtInput->text(), QStringLiteral("half getypt"));
    }
};

TEST_F(ClientWindowsTest, IncomingPrivateWindowOpensQuietlyAndIsLaidOutWhenRestored) {
    server.Send(Command("PRIV" + ZindleDivideCombine::Combine({"2", "hoi\r\n"})));
    ASSERT_TRUE(WaitFor([&] { return main->PrivateChats.find(2) != 0; }));
    client::frmMainPrivate* window = main->PrivateWindows[std::size_t(main->PrivateChats.find(2))];
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(WaitFor([&] { return window->isMinimized(); }));
    ExpectTypingUndisturbed();
    EXPECT_TRUE(window->isMinimized());

    ASSERT_TRUE(wmtest::RestoreThroughWm(window));
    ASSERT_TRUE(WaitFor([&] { return !window->isMinimized() && window->isVisible(); }, 5000));
    Pump(100);
    const int w = window->width(), h = window->height();
    ASSERT_GT(w, 300);
    ASSERT_GT(h, 200);
    // Toolbar across the top, transcript below it over the full width, the input
    // line along the bottom with "Sturen" and "Sluiten" to its right.
    EXPECT_EQ(window->Toolbar1->geometry().topLeft(), QPoint(0, 0));
    EXPECT_EQ(window->Toolbar1->width(), w);
    EXPECT_EQ(window->txtOutput->geometry().top(), window->Toolbar1->geometry().bottom() + 1);
    EXPECT_EQ(window->txtOutput->width(), w);
    EXPECT_EQ(window->txtOutput->geometry().bottom() + 1, window->txtInput->geometry().top());
    EXPECT_EQ(window->txtInput->geometry().bottom(), h - 1);
    EXPECT_EQ(window->txtInput->geometry().left(), 0);
    EXPECT_EQ(window->cmdDefault->geometry().left(), window->txtInput->geometry().right() + 1);
    EXPECT_EQ(window->cmdClose->geometry().left(), window->cmdDefault->geometry().right() + 1);
    EXPECT_EQ(window->cmdClose->geometry().right(), w - 1);
    EXPECT_EQ(window->cmdClose->geometry().bottom(), h - 1);

    // Minimised and restored again by the user: still in place.
    ASSERT_TRUE(wmtest::MinimiseThroughWm(window));
    ASSERT_TRUE(WaitFor([&] { return window->isMinimized(); }, 5000));
    ASSERT_TRUE(wmtest::RestoreThroughWm(window));
    ASSERT_TRUE(WaitFor([&] { return !window->isMinimized(); }, 5000));
    Pump(100);
    EXPECT_EQ(window->cmdClose->geometry().right(), window->width() - 1);
    EXPECT_EQ(window->txtOutput->width(), window->width());
}

TEST_F(ClientWindowsTest, FileOfferOpensAMinimisedWindowThatTakesNoFocus) {
    QTcpServer sender; // the offering client, on this machine
    ASSERT_TRUE(sender.listen(QHostAddress::LocalHost, 0));
    const int before = int(QApplication::topLevelWidgets().size());
    server.Send(Command("FILE" + ZindleDivideCombine::Combine(
                                     {"2", "foto.jpg", "127.0.0.1", std::to_string(sender.serverPort())})));
    QWidget* window = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->windowTitle() == QStringLiteral("Piet - Bestand ontvangen"))
                window = w;
        return window != nullptr;
    }));
    EXPECT_EQ(int(QApplication::topLevelWidgets().size()), before + 1);
    EXPECT_TRUE(WaitFor([&] { return window->isMinimized(); }));
    ExpectTypingUndisturbed();
    EXPECT_TRUE(window->isMinimized());
    window->close();
}

} // namespace
