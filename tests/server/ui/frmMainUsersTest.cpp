// SPDX-License-Identifier: GPL-3.0-or-later
// The user area against real clients on the loopback address that speak the
// login with the exact bytes a ZindleChat client sends.
#include "tests/server/ui/MainWindowFixture.h"

#include "server/ui/WindowAccessibility.h"

#include <QAction>
#include <QClipboard>
#include <QGroupBox>
#include <QGuiApplication>
#include <QListWidget>
#include <QMenu>
#include <QTcpSocket>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

class RawClient {
public:
    bool LogIn(quint16 port, const QByteArray& nickname) {
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (!socket.waitForConnected(3000))
            return false;
        Send("\xFF\xFF"
             "CACK" +
             nickname + "##0.2 build \\#0013" + QByteArray(1, '\0'));
        if (!WaitFor([&] {
                return Received().contains("\xFF\xFF"
                                           "SACK");
            }))
            return false;
        Send(QByteArray("\xFF\xFF"
                        "ACKD") +
             QByteArray(1, '\0'));
        return WaitFor([&] { return Received().contains(nickname + "#0"); });
    }
    void Send(const QByteArray& bytes) {
        socket.write(bytes);
        socket.flush();
    }
    const QByteArray& Received() {
        socket.waitForReadyRead(5);
        data += socket.readAll();
        return data;
    }
    bool Closed() {
        Received();
        return socket.state() == QAbstractSocket::UnconnectedState;
    }
    QTcpSocket socket;
    QByteArray data;
};

QByteArray Line(const char* text) {
    return QByteArray(text) + QByteArray(1, '\0');
}

} // namespace

class UserAreaTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        Open();
        window->show();
        port = StartOnFreePort();
    }
    bool Select(const QString& entry) {
        const auto found = window->lstGebruikers->findItems(entry, Qt::MatchExactly);
        if (found.isEmpty())
            return false;
        window->lstGebruikers->setCurrentItem(found.first());
        return true;
    }
    QStringList Users() const {
        QStringList list;
        for (int i = 0; i < window->lstGebruikers->count(); ++i)
            list << window->lstGebruikers->item(i)->text();
        return list;
    }
    quint16 port = 0;
};

TEST_F(UserAreaTest, KickTellsEveryoneAndDropsOnlyTheChosenUser) {
    RawClient anna, bob;
    ASSERT_TRUE(anna.LogIn(port, "anna"));
    ASSERT_TRUE(bob.LogIn(port, "bob"));
    ASSERT_TRUE(WaitFor([&] { return Users() == QStringList({"1#anna", "2#bob"}); }));

    window->cmdKick->click(); // nothing selected: nothing happens
    EXPECT_EQ(Users().size(), 2);

    ASSERT_TRUE(Select("1#anna"));
    window->cmdKick->click();
    ASSERT_TRUE(WaitFor([&] { return anna.Closed(); }));
    EXPECT_TRUE(anna.Received().endsWith(Line("**Je bent gekicked van de server\\r\\n")));
    ASSERT_TRUE(
        WaitFor([&] { return bob.Received().contains(Line("* anna is gekicked van de server\\r\\n")); }));
    EXPECT_EQ(Users(), QStringList({"2#bob"}));
    EXPECT_FALSE(bob.Closed());
    EXPECT_TRUE(core->Log().Text().contains("STATUS [1] Verbinding gesloten"));
}

TEST_F(UserAreaTest, InfoAndCopyAddressShowTheChosenUser) {
    RawClient anna;
    ASSERT_TRUE(anna.LogIn(port, "anna"));
    ASSERT_TRUE(WaitFor([&] { return Users().size() == 1; }));
    window->cmdInfo->click();
    EXPECT_TRUE(asked.empty());
    ASSERT_TRUE(Select("1#anna"));
    window->cmdInfo->click(); // the box waits for the host name lookup
    ASSERT_TRUE(WaitFor([&] { return asked.size() == 1u; }, 5000));
    EXPECT_EQ(asked[0].icon, QMessageBox::Information);
    EXPECT_EQ(asked[0].title, "ZindleChat");
    EXPECT_TRUE(asked[0].text.startsWith("ID: 1\r\nNickname: anna\r\nClient versie: 0.2 build #0013\r\n"));
    EXPECT_TRUE(asked[0].text.contains("\r\nIP-Adres: 127.0.0.1\r\nPort: "));

    QGuiApplication::clipboard()->setText("iets anders");
    window->cmdCopyIP->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "127.0.0.1");
}

TEST_F(UserAreaTest, BanClosesTheAddressAndTheBanListCanBeEdited) {
    RawClient anna, bob;
    ASSERT_TRUE(anna.LogIn(port, "anna"));
    ASSERT_TRUE(bob.LogIn(port, "bob"));
    ASSERT_TRUE(WaitFor([&] { return Users().size() == 2; }));
    ASSERT_TRUE(Select("2#bob"));
    window->cmdBan->click();
    // Both come from 127.0.0.1, so both go.
    ASSERT_TRUE(WaitFor([&] { return anna.Closed() && bob.Closed(); }));
    EXPECT_TRUE(bob.Received().contains(Line("**Je bent gebanned van de server\\r\\n")));
    EXPECT_TRUE(anna.Received().contains(Line("* bob is gebanned van de server\\r\\n")));
    EXPECT_TRUE(Users().isEmpty());
    ASSERT_EQ(window->lstBanlist->count(), 1);
    EXPECT_EQ(window->lstBanlist->item(0)->text(), "127.0.0.1");

    // The ban outlives a stop and start.
    window->cmdServerStart->click();
    port = StartOnFreePort();
    RawClient carl;
    carl.socket.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(carl.socket.waitForConnected(3000));
    carl.Send(QByteArray("\xFF\xFF"
                         "CACKcarl##0.2 build \\#0013") +
              QByteArray(1, '\0'));
    ASSERT_TRUE(WaitFor([&] { return carl.Closed(); }));
    EXPECT_EQ(carl.data, Line("\xFF\xFF"
                              "ERROSBAN"));

    // The ban list view: "Ban wissen" needs a selection, "Lijst legen" empties it.
    window->cmdBanList->click();
    EXPECT_TRUE(window->frBanlijst->isVisibleTo(window.get()));
    EXPECT_FALSE(window->frGebruikersLijst->isVisibleTo(window.get()));
    core->AddBan("10.0.0.1");
    core->AddBan("10.0.0.2");
    window->lstBanlist->clearSelection();
    window->cmdBanWis->click();
    EXPECT_EQ(core->BanList().size(), 3);
    window->lstBanlist->setCurrentRow(1);
    window->cmdBanWis->click();
    EXPECT_EQ(core->BanList(), QStringList({"127.0.0.1", "10.0.0.2"}));
    EXPECT_EQ(window->lstBanlist->count(), 2);
    window->cmdBanEmpty->click();
    EXPECT_EQ(window->lstBanlist->count(), 0);
    window->cmdCloseBanList->click();
    EXPECT_TRUE(window->frGebruikersLijst->isVisibleTo(window.get()));
    EXPECT_FALSE(window->frBanlijst->isVisibleTo(window.get()));

    RawClient dora;
    EXPECT_TRUE(dora.LogIn(port, "dora"));
}

TEST_F(UserAreaTest, StopEmptiesTheUserListAndTheNextConnectionGetsSlotOne) {
    RawClient anna;
    ASSERT_TRUE(anna.LogIn(port, "anna"));
    ASSERT_TRUE(WaitFor([&] { return Users().size() == 1; }));
    window->cmdServerStart->click();
    EXPECT_TRUE(Users().isEmpty());
    ASSERT_TRUE(WaitFor([&] { return anna.Closed(); }));
    port = StartOnFreePort();
    RawClient bob;
    ASSERT_TRUE(bob.LogIn(port, "bob"));
    ASSERT_TRUE(WaitFor([&] { return Users() == QStringList({"1#bob"}); }));
}

TEST_F(UserAreaTest, TheKeyboardReachesTheUserMenuAndEnterShowsInfo) {
    RawClient anna;
    ASSERT_TRUE(anna.LogIn(port, "anna"));
    ASSERT_TRUE(WaitFor([&] { return Users().size() == 1; }));
    QMenu* menu = server::UserMenu(*window);
    ASSERT_NE(menu, nullptr);
    QStringList items;
    for (const QAction* item : menu->actions())
        items << item->text();
    EXPECT_EQ(items, QStringList({"Kick", "Ban", "Info", "IP Kopieren", "Banlijst"}));

    window->activateWindow();
    window->lstGebruikers->setFocus();
    QTest::keyClick(window->lstGebruikers, Qt::Key_Menu); // nothing selected: no menu
    EXPECT_FALSE(menu->isVisible());
    ASSERT_TRUE(Select("1#anna"));
    for (const auto& [key, mods] :
         {std::pair{Qt::Key_Menu, Qt::NoModifier}, std::pair{Qt::Key_F10, Qt::ShiftModifier}}) {
        QTest::keyClick(window->lstGebruikers, key, mods);
        ASSERT_TRUE(WaitFor([&] { return menu->isVisible(); })) << key;
        menu->hide();
    }
    QTest::keyClick(window->lstGebruikers, Qt::Key_Return);
    ASSERT_TRUE(WaitFor([&] { return asked.size() == 1u; }, 5000));
    EXPECT_TRUE(asked[0].text.startsWith("ID: 1\r\nNickname: anna"));

    // The menu's "Banlijst" is the button's: the ban list frame comes to the front.
    menu->actions().at(4)->trigger();
    EXPECT_TRUE(window->frBanlijst->isVisibleTo(window.get()));
    EXPECT_FALSE(window->frGebruikersLijst->isVisibleTo(window.get()));
}
