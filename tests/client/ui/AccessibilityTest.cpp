// SPDX-License-Identifier: GPL-3.0-or-later
// The client for keyboard and screen-reader users: every window's controls have
// names and tied captions, the keys reach every command, the text size follows
// Ctrl+Plus/Minus/0, and new lines and private messages reach assistive
// technology as events.
#include "about/Accessibility.h"
#include "ClientFixture.h"
#include "about/frmAbout.h"
#include "client/core/TranscriptWriter.h"
#include "client/filetransfer/frmFileReceive.h"
#include "client/filetransfer/frmFileSend.h"
#include "client/ui/Accessibility.h"
#include "client/ui/Comforts.h"
#include "client/ui/FindBar.h"
#include "client/ui/TextZoom.h"
#include "client/ui/frmMainPrivate.h"
#include "common/ZindleDivideCombine.h"
#include "net/SettingsStore.h"
#include "tests/support/AccessibleTree.h"
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QColorDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>

using namespace testsupport;

namespace {

struct Heard {
    QAccessible::Event type;
    QObject* object;
    QString text;
};
std::vector<Heard>* heard = nullptr;

void Listen(QAccessibleEvent* event) {
    if (!heard)
        return;
    QString text;
    if (event->type() == QAccessible::TextInserted)
        text = static_cast<QAccessibleTextInsertEvent*>(event)->textInserted();
    heard->push_back({event->type(), event->object(), text});
}

class AccessibilityTest : public ClientFixture {
protected:
    void SetUp() override {
        ClientFixture::SetUp();
        ASSERT_TRUE(LogIn(QStringLiteral("Jan"), {"1#Jan#0", "2#Piet#1", "3#Kees#0"}));
        server.Take();
    }
    void TearDown() override {
        StopListening();
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
        elsewhere.hide();
        ClientFixture::TearDown();
    }

    void StartListening() {
        events.clear();
        heard = &events;
        ui::SetAccessibleEventSink(&Listen);
    }
    static void StopListening() {
        ui::SetAccessibleEventSink(nullptr);
        heard = nullptr;
    }
    std::vector<Heard> Of(QAccessible::Event type) const {
        std::vector<Heard> out;
        for (const Heard& h : events)
            if (h.type == type)
                out.push_back(h);
        return out;
    }

    static bool Activate(QWidget* window) {
        window->show();
        window->activateWindow();
        return WaitFor([window] { return window->isActiveWindow(); });
    }
    static QByteArray Priv(const std::string& to, const std::string& text) {
        return Command("PRIV" + ZindleDivideCombine::Combine({to, text}));
    }
    client::frmMainPrivate* OpenPrivate(int row) {
        main->lstNicknames->setCurrentRow(row);
        main->lstNicknames_DblClick();
        const int id = main->lstNicknames->item(row)->data(Qt::UserRole).toInt();
        return main->PrivateWindows[std::size_t(main->PrivateChats.find(id))];
    }
    static QString Stored(const char* key) {
        return net::GetSetting(QStringLiteral("ZindleChat"), QStringLiteral("Options"),
                               QString::fromLatin1(key), QStringLiteral("<none>"));
    }

    std::vector<Heard> events;
    QWidget elsewhere;
};

TEST_F(AccessibilityTest, EveryClientWindowNamesItsControlsAndTiesItsCaptions) {
    client::frmMainPrivate* priv = OpenPrivate(1);
    ASSERT_NE(priv, nullptr);
    priv->findChild<client::FindBar*>()->open();
    client::frmFileSend send([](const std::string&, bool) {});
    client::frmFileReceive receive;
    about::frmAbout aboutWindow(QStringLiteral("Client\r\n Versie 1.0"));

    for (QWidget* window :
         std::initializer_list<QWidget*>{dialog.get(), main.get(), priv, &send, &receive, &aboutWindow})
        EXPECT_TRUE(Accessible(window)) << window->objectName().toStdString();
    for (const QMenu* menu : {main->menuZindleChat, main->menuNicknames})
        EXPECT_TRUE(AccessibleMenu(menu));

    // The connect dialog's four boxes carry their captions' names.
    QStringList names;
    for (QWidget* box : std::initializer_list<QWidget*>{dialog->txtNickname, dialog->txtPassword,
                                                        dialog->txtConnectTo, dialog->txtConnectToPort})
        names << QAccessible::queryAccessibleInterface(box)->text(QAccessible::Name);
    EXPECT_EQ(names, (QStringList{"Nickname", "Wachtwoord", "Verbinden met", "Poort"}));
    priv->close();
}

TEST_F(AccessibilityTest, MessageBoxesAreReadInFullAndTheColourDialogIsNamed) {
    QWidget* box =
        client::DefaultPrompts().notifyLater(main.get(), QMessageBox::Critical, QStringLiteral("ZindleChat"),
                                             QStringLiteral("Alle privegesprekken zijn bezet."));
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->accessibleDescription(), QStringLiteral("Alle privegesprekken zijn bezet."));
    box->close();
    QColorDialog colours;
    colours.setOption(QColorDialog::DontUseNativeDialog);
    EXPECT_TRUE(Accessible(&colours));
}

TEST_F(AccessibilityTest, TheTreeWalkCatchesAnUnnamedBoxAndALooseCaption) {
    QWidget window;
    window.setObjectName(QStringLiteral("probe"));
    auto* caption = new QLabel(QStringLiteral("Naam:"), &window);
    new QLineEdit(&window);
    const QStringList faults = AccessibilityFaults(&window);
    ASSERT_EQ(faults.size(), 2) << faults.join('\n').toStdString();
    EXPECT_TRUE(faults[0].contains(QStringLiteral("QLineEdit")) ||
                faults[1].contains(QStringLiteral("QLineEdit")));
    caption->setBuddy(window.findChild<QLineEdit*>());
    EXPECT_EQ(AccessibilityFaults(&window), QStringList());
}

TEST_F(AccessibilityTest, F10AndAltOOpenTheOptionsMenu) {
    ASSERT_TRUE(Activate(main.get()));
    for (const auto& [key, mods] :
         {std::pair{Qt::Key_F10, Qt::NoModifier}, std::pair{Qt::Key_O, Qt::AltModifier}}) {
        main->txtInput->setFocus();
        QTest::keyClick(main->txtInput, key, mods);
        ASSERT_TRUE(WaitFor([&] { return main->menuZindleChat->isVisible(); })) << key;
        EXPECT_NE(main->menuZindleChat->activeAction(), nullptr); // arrows and Enter work at once
        main->menuZindleChat->hide();
    }
}

TEST_F(AccessibilityTest, EnterInTheUserListOpensThePrivateWindowAndTheMenuKeyTheUserMenu) {
    ASSERT_TRUE(Activate(main.get()));
    main->lstNicknames->setFocus();
    main->lstNicknames->setCurrentRow(2);
    QTest::keyClick(main->lstNicknames, Qt::Key_Return);
    const int slot = main->PrivateChats.find(3);
    ASSERT_NE(slot, 0);
    ASSERT_NE(main->PrivateWindows[std::size_t(slot)], nullptr);
    main->PrivateWindows[std::size_t(slot)]->close();

    ASSERT_TRUE(Activate(main.get()));
    main->lstNicknames->setFocus();
    for (const auto& [key, mods] :
         {std::pair{Qt::Key_Menu, Qt::NoModifier}, std::pair{Qt::Key_F10, Qt::ShiftModifier}}) {
        QTest::keyClick(main->lstNicknames, key, mods);
        ASSERT_TRUE(WaitFor([&] { return main->menuNicknames->isVisible(); })) << key;
        // At the selected entry, not wherever the mouse is.
        const QRect entry = main->lstNicknames->visualItemRect(main->lstNicknames->item(2));
        EXPECT_LE(std::abs(main->menuNicknames->pos().y() -
                           main->lstNicknames->viewport()->mapToGlobal(entry.bottomLeft()).y()),
                  4);
        main->menuNicknames->hide();
    }
    // Without a selection there is nothing to offer.
    main->lstNicknames->clearSelection();
    QTest::keyClick(main->lstNicknames, Qt::Key_Menu);
    QTest::qWait(50);
    EXPECT_FALSE(main->menuNicknames->isVisible());
}

TEST_F(AccessibilityTest, TabWalksTheWholeWindowWithAVisibleFocusOnTheTranscript) {
    ASSERT_TRUE(Activate(main.get()));
    main->txtOutput->setFocus();
    auto ring = main->txtOutput->findChild<QWidget*>(QStringLiteral("FocusRing"));
    ASSERT_NE(ring, nullptr);
    EXPECT_TRUE(ring->isVisible());

    QStringList order;
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* now = QApplication::focusWidget();
        order << (qobject_cast<QToolButton*>(now) ? qobject_cast<QToolButton*>(now)->text()
                                                  : now->objectName());
    }
    // The send button waits for text; nickname completion with nothing to complete lets Tab go on.
    EXPECT_EQ(order, (QStringList{"lstNicknames", "txtInput", "Opties", "Afwezig"}));
    EXPECT_FALSE(ring->isVisible());

    // The existing keys of the input line still work.
    main->txtInput->setFocus();
    QTest::keyClick(main->txtInput, Qt::Key_K, Qt::ControlModifier);
    EXPECT_EQ(main->txtInput->text(), QString(QChar(0x01)));
}

TEST_F(AccessibilityTest, CtrlPlusMinusAndZeroSizeTranscriptAndInputInEveryWindowAndAreRemembered) {
    client::frmMainPrivate* priv = OpenPrivate(1);
    ASSERT_TRUE(Activate(main.get()));
    const qreal base = main->txtOutput->font().pointSizeF();
    main->txtInput->setFocus();
    QTest::keyClick(main->txtInput, Qt::Key_Plus, Qt::ControlModifier);
    QTest::keyClick(main->txtInput, Qt::Key_Plus, Qt::ControlModifier);
    for (QWidget* box :
         std::initializer_list<QWidget*>{main->txtOutput, main->txtInput, priv->txtOutput, priv->txtInput})
        EXPECT_DOUBLE_EQ(box->font().pointSizeF(), base + 2) << box->objectName().toStdString();
    EXPECT_EQ(Stored("TextZoom"), QStringLiteral("2"));
    QTest::keyClick(main->txtInput, Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(priv->txtOutput->font().pointSizeF(), base + 1);
    EXPECT_EQ(Stored("TextZoom"), QStringLiteral("1"));

    // The next start picks the size up again; Ctrl+0 goes back to the standard one.
    priv->close();
    StartProgram();
    EXPECT_DOUBLE_EQ(main->txtOutput->font().pointSizeF(), base + 1);
    main->Access().zoom().zoomBy(-100); // held at the smallest size
    EXPECT_DOUBLE_EQ(main->txtInput->font().pointSizeF(), base - 4);
    main->show();
    ASSERT_TRUE(Activate(main.get()));
    QTest::keyClick(main->txtOutput, Qt::Key_0, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(main->txtInput->font().pointSizeF(), base);
    EXPECT_EQ(Stored("TextZoom"), QStringLiteral("0"));
}

TEST_F(AccessibilityTest, EachNewLineIsOneTextInsertedEventUntilTheSwitchSilencesIt) {
    StartListening();
    server.Send(Chat("Piet> goedemorgen\\r\\n"));
    ASSERT_TRUE(
        WaitFor([&] { return main->Transcript().plainText().contains(QStringLiteral("goedemorgen")); }));
    std::vector<Heard> inserted = Of(QAccessible::TextInserted);
    ASSERT_EQ(inserted.size(), 1u);
    EXPECT_EQ(inserted[0].object, main->txtOutput);
    EXPECT_TRUE(inserted[0].text.contains(QStringLiteral("Piet> goedemorgen")))
        << inserted[0].text.toStdString();

    // The transcript's text stays right for the reader: a cleared transcript is a removal.
    main->Transcript().clear();
    EXPECT_FALSE(Of(QAccessible::TextRemoved).empty());

    ASSERT_EQ(main->Access().mnuReadNewLines->text(), QStringLiteral("Nieuwe regels voorlezen"));
    EXPECT_TRUE(main->Extras().mnuVoorkeurenMenu->actions().contains(main->Access().mnuReadNewLines));
    EXPECT_TRUE(main->Access().mnuReadNewLines->isChecked());
    main->Access().mnuReadNewLines->trigger();
    EXPECT_EQ(Stored("ReadNewLines"), QStringLiteral("0"));
    events.clear();
    server.Send(Chat("Piet> stil\\r\\n"));
    ASSERT_TRUE(WaitFor([&] { return main->Transcript().plainText().contains(QStringLiteral("stil")); }));
    EXPECT_TRUE(Of(QAccessible::TextInserted).empty());
    StartProgram();
    EXPECT_FALSE(main->Access().readsNewLines());
}

TEST_F(AccessibilityTest, APrivateMessageInAWindowWithoutFocusRaisesAnAlert) {
    client::frmMainPrivate* priv = OpenPrivate(2);
    elsewhere.resize(50, 50);
    ASSERT_TRUE(Activate(&elsewhere));
    StartListening();
    server.Send(Priv("3", "ben je er?\r\n"));
    ASSERT_TRUE(
        WaitFor([&] { return priv->Transcript().plainText().contains(QStringLiteral("ben je er?")); }));
    std::vector<Heard> alerts = Of(QAccessible::Alert);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].object, priv);
    ASSERT_EQ(Of(QAccessible::TextInserted).size(), 1u);
    EXPECT_EQ(Of(QAccessible::TextInserted)[0].object, priv->txtOutput);

    // With the focus there, the line itself is enough.
    ASSERT_TRUE(Activate(priv));
    events.clear();
    server.Send(Priv("3", "nog iets\r\n"));
    ASSERT_TRUE(WaitFor([&] { return priv->Transcript().plainText().contains(QStringLiteral("nog iets")); }));
    EXPECT_TRUE(Of(QAccessible::Alert).empty());
    priv->close();
}

} // namespace
