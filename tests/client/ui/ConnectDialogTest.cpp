// SPDX-License-Identifier: GPL-3.0-or-later
// The connect dialog: settings, the command line, validation, its states, the
// time-out, and the countdown that brings it back after a session.
#include "ClientFixture.h"
#include "client/core/ClientSession.h"
#include "client/core/Reconnector.h"
#include "client/core/TranscriptWriter.h"
#include "client/ui/Comforts.h"
#include "net/SettingsStore.h"
#include "net/Winsock.h"
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

using namespace testsupport;

namespace {

const QString kApp = QStringLiteral("ZindleChat");

class ConnectDialogTest : public ClientFixture {
protected:
    // Dialog state as one comparable tuple: Joining, boxes enabled, button, status.
    void ExpectState(bool joining, bool boxesEnabled, const QString& button, const QString& status) {
        EXPECT_EQ(dialog->Joining, joining);
        EXPECT_EQ(dialog->txtNickname->isEnabled(), boxesEnabled);
        EXPECT_EQ(dialog->txtConnectTo->isEnabled(), boxesEnabled);
        EXPECT_EQ(dialog->txtConnectToPort->isEnabled(), boxesEnabled);
        EXPECT_TRUE(dialog->txtPassword->isEnabled());
        EXPECT_EQ(dialog->cmdJoin->text(), button);
        EXPECT_EQ(dialog->lblStatus->text(), status);
    }
};

TEST_F(ConnectDialogTest, FirstStartShowsDefaultsAndSettingsComeBackAfterARestart) {
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("ZindleChat"));
    EXPECT_EQ(dialog->txtNickname->text(), QString());
    EXPECT_EQ(dialog->txtConnectTo->text(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(dialog->txtConnectToPort->text(), QStringLiteral("12345"));
    EXPECT_EQ(dialog->lblVersie->text(), QStringLiteral("Client\r\n Versie 0.2 build #0013"));
    EXPECT_EQ(main->Colors(), client::ChatColors{});
    ExpectState(false, true, QStringLiteral("Verbinden..."), QString());

    dialog->txtNickname->setText(QStringLiteral("Jan"));
    dialog->txtPassword->setText(QStringLiteral("geheim"));
    dialog->txtConnectTo->setText(QStringLiteral("chat.example"));
    dialog->txtConnectToPort->setText(QStringLiteral("4000"));
    client::ChatColors colors;
    colors.Background = 123456;
    colors.Action = 42;
    main->SetColors(colors);
    dialog->close(); // the close request saves and ends the program
    EXPECT_EQ(rec.programEnded, 1);
    EXPECT_EQ(net::GetSetting(kApp, QStringLiteral("Colors"), QStringLiteral("Background")),
              QStringLiteral("123456"));
    EXPECT_EQ(
        net::GetSetting(kApp, QStringLiteral("Options"), QStringLiteral("Password"), QStringLiteral("-")),
        QStringLiteral("-")); // never stored

    StartProgram();
    EXPECT_EQ(dialog->txtNickname->text(), QStringLiteral("Jan"));
    EXPECT_EQ(dialog->txtNickname->selectedText(), QStringLiteral("Jan"));
    EXPECT_EQ(dialog->txtPassword->text(), QString());
    EXPECT_EQ(dialog->txtConnectTo->text(), QStringLiteral("chat.example"));
    EXPECT_EQ(dialog->txtConnectToPort->text(), QStringLiteral("4000"));
    EXPECT_EQ(main->Colors(), colors);
}

TEST_F(ConnectDialogTest, StoredColourTextIsReadAsTheNumberAtItsStart) {
    net::SaveSetting(kApp, QStringLiteral("Colors"), QStringLiteral("Text"), QStringLiteral(" 255abc"));
    net::SaveSetting(kApp, QStringLiteral("Colors"), QStringLiteral("Nickname"), QStringLiteral("groen"));
    StartProgram();
    EXPECT_EQ(main->Colors().Text, 255);
    EXPECT_EQ(main->Colors().Nickname, 0);
}

TEST_F(ConnectDialogTest, BoxesKeepTheirLimitsAndTheTabOrder) {
    // The host box takes the longest host name.
    for (auto [box, limit] : {std::pair{dialog->txtNickname, 20}, std::pair{dialog->txtPassword, 20},
                              std::pair{dialog->txtConnectTo, 253}, std::pair{dialog->txtConnectToPort, 7}}) {
        SCOPED_TRACE(box->objectName().toStdString());
        box->clear();
        QTest::keyClicks(box, QString(limit + 10, QLatin1Char('k')));
        EXPECT_EQ(box->text(), QString(limit, QLatin1Char('k')));
        // A paste that does not fit keeps what fits, at the caret.
        box->clear();
        QTest::keyClicks(box, QStringLiteral("ab"));
        box->setCursorPosition(1);
        box->insert(QString(limit + 10, QLatin1Char('x')));
        EXPECT_EQ(box->text(), QLatin1Char('a') + QString(limit - 2, QLatin1Char('x')) + QLatin1Char('b'));
    }
    EXPECT_EQ(dialog->txtPassword->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(dialog->cmdJoin->isDefault());
    EXPECT_EQ(dialog->txtNickname->nextInFocusChain(), dialog->txtPassword);
    EXPECT_EQ(dialog->txtPassword->nextInFocusChain(), dialog->txtConnectTo);
    EXPECT_EQ(dialog->txtConnectTo->nextInFocusChain(), dialog->txtConnectToPort);
}

TEST_F(ConnectDialogTest, NicknameChecksShowAMessageAndConnectNothing) {
    struct Row {
        QString nickname, message;
    };
    const Row rows[] = {
        {QString(), QStringLiteral("Je moet een geldige nickname invullen.")},
        {QStringLiteral("ja#n"), QStringLiteral("Er mogen geen #-tekens voorkomen in nicknames.")},
        // Two 0xFF bytes first would make the own chat lines look like commands.
        {QStringLiteral("\u00FF\u00FFjan"),
         QStringLiteral("Een nickname mag niet met twee \u00FF-tekens beginnen.")},
    };
    dialog->txtConnectToPort->setText(QString::number(server.port()));
    for (const Row& row : rows) {
        rec.notices.clear();
        dialog->txtNickname->setText(row.nickname);
        dialog->cmdJoin_Click();
        ASSERT_EQ(rec.notices.size(), 1) << row.nickname.toStdString();
        EXPECT_EQ(rec.notices[0].title, QStringLiteral("Chat"));
        EXPECT_EQ(rec.notices[0].icon, QMessageBox::Information);
        EXPECT_EQ(rec.notices[0].text, row.message);
        ExpectState(false, true, QStringLiteral("Verbinden..."), QString());
    }
    // One 0xFF is an ordinary character, and a single space is a nickname.
    for (const QString& accepted : {QStringLiteral("\u00FFjan"), QStringLiteral(" ")}) {
        rec.notices.clear();
        dialog->txtNickname->setText(accepted);
        dialog->cmdJoin_Click();
        EXPECT_TRUE(rec.notices.isEmpty());
        EXPECT_TRUE(dialog->Joining);
        dialog->cmdJoin_Click(); // cancel
    }
}

TEST_F(ConnectDialogTest, BadPortOrHostIsReportedAndTheDialogStaysReady) {
    dialog->txtNickname->setText(QStringLiteral("Jan"));
    const QString badPort = QStringLiteral("Ongeldige poort: gebruik een getal van 1 tot en met 65535.");
    const QString noHost = QStringLiteral("Vul een server in om mee te verbinden.");
    const QString badHost =
        QStringLiteral("Ongeldige server: vul een hostnaam (tot 253 tekens) of een IP-adres in.");
    struct Row {
        QString host, port, status;
    };
    const Row rows[] = {
        {QStringLiteral("127.0.0.1"), QStringLiteral("abc"), badPort},
        {QStringLiteral("127.0.0.1"), QStringLiteral("0"), badPort},
        {QStringLiteral("127.0.0.1"), QStringLiteral("65536"), badPort},
        {QStringLiteral("127.0.0.1"), QStringLiteral("-80"), badPort},
        {QStringLiteral("127.0.0.1"), QStringLiteral("12 34"), badPort},
        {QStringLiteral("127.0.0.1"), QString(), badPort},
        {QString(), QStringLiteral("12345"), noHost},
        {QStringLiteral("   "), QStringLiteral("12345"), noHost},
        {QStringLiteral("[::1"), QStringLiteral("12345"), badHost},
        {QStringLiteral("chat.example:4000"), QStringLiteral("12345"), badHost},
        {QString(254, u'a'), QStringLiteral("12345"), badHost},
    };
    for (const Row& row : rows) {
        dialog->txtConnectTo->setText(row.host);
        dialog->txtConnectToPort->setText(row.port);
        dialog->cmdJoin_Click();
        SCOPED_TRACE(row.port.toStdString() + "|" + row.host.toStdString());
        ExpectState(false, true, QStringLiteral("Verbinden..."), row.status);
        EXPECT_EQ(main->Winsock1->state(), net::Winsock::State::Closed);
        EXPECT_FALSE(dialog->tmr_Connect->isActive());
    }
    EXPECT_TRUE(rec.notices.isEmpty());
}

TEST_F(ConnectDialogTest, ConnectCancelAndConnectAgain) {
    // A port nothing listens on: the attempt stays in Connecting until cancelled.
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 deadPort = probe.serverPort();
    probe.close();

    dialog->txtNickname->setText(QStringLiteral("Jan"));
    dialog->txtConnectToPort->setText(QString::number(deadPort));
    dialog->cmdJoin_Click();
    ExpectState(true, false, QStringLiteral("Annuleren..."),
                QStringLiteral("Bezig met verbinden naar 127.0.0.1..."));
    EXPECT_TRUE(dialog->tmr_Connect->isActive());
    EXPECT_EQ(dialog->tmr_Connect->interval(), 10000);
    EXPECT_EQ(main->LocalNickname(), QStringLiteral("Jan"));

    dialog->cmdJoin_Click();
    ExpectState(false, true, QStringLiteral("Verbinden..."), QStringLiteral("Verbinding geannuleerd."));
    EXPECT_FALSE(dialog->tmr_Connect->isActive());

    dialog->cmdJoin_Click();
    ExpectState(true, false, QStringLiteral("Annuleren..."),
                QStringLiteral("Bezig met verbinden naar 127.0.0.1..."));
}

TEST_F(ConnectDialogTest, NoConnectionWithinTheTimeOutCancelsWithItsOwnStatus) {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 deadPort = probe.serverPort();
    probe.close();

    dialog->tmr_Connect->setInterval(60);
    dialog->txtNickname->setText(QStringLiteral("Jan"));
    dialog->txtConnectToPort->setText(QString::number(deadPort));
    dialog->cmdJoin_Click();
    ASSERT_TRUE(WaitFor([&] { return !dialog->Joining; }));
    ExpectState(false, true, QStringLiteral("Verbinden..."), QStringLiteral("Timeout bij het verbinden..."));
    EXPECT_FALSE(dialog->tmr_Connect->isActive());
    EXPECT_TRUE(rec.notices.isEmpty());
}

TEST_F(ConnectDialogTest, CommandLineConnectsAtOnceWithTheStoredNickname) {
    net::SaveSetting(kApp, QStringLiteral("Options"), QStringLiteral("Nickname"), QStringLiteral("Jan"));
    StartProgram(QStringLiteral("127.0.0.1:%1 geheim").arg(server.port()));
    EXPECT_EQ(dialog->txtConnectToPort->text(), QString::number(server.port()));
    EXPECT_EQ(dialog->txtPassword->text(), QStringLiteral("geheim"));
    EXPECT_TRUE(dialog->Joining);
    ASSERT_TRUE(server.WaitConnected());
    const QByteArray cack = server.WaitFor(QByteArray(1, '\0'));
    EXPECT_TRUE(cack.startsWith("\xFF\xFF"
                                "CACKJan#"));
    // The dialog went out of sight and the main window came up.
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(main->isVisible());
    EXPECT_TRUE(dialog->Joining);
    EXPECT_EQ(dialog->cmdJoin->text(), QStringLiteral("Annuleren..."));
    EXPECT_FALSE(dialog->tmr_Connect->isActive());
}

// The limits are for typing: a long host name or password from the command line
// arrives whole, and the user may shorten it but not type it longer.
TEST_F(ConnectDialogTest, CommandLineValuesAreNotCutToTheTypingLimit) {
    // Without a stored nickname nothing connects (no name is looked up), but the
    // boxes are filled as for a connection.
    // Longer than any host name: it is refused only when it is used.
    const QString host = QString(250, u'a') + QStringLiteral(".example");
    const QString password = QStringLiteral("een_heel_lang_wachtwoord_van_veertig_tekens");
    StartProgram(host + QStringLiteral(":4000 ") + password);
    ASSERT_EQ(rec.notices.size(), 1);
    EXPECT_EQ(rec.notices[0].text, QStringLiteral("Je moet een geldige nickname invullen."));
    EXPECT_EQ(dialog->txtConnectTo->text(), host);
    EXPECT_EQ(dialog->txtConnectToPort->text(), QStringLiteral("4000"));
    EXPECT_EQ(dialog->txtPassword->text(), password);

    QLineEdit* box = dialog->txtConnectTo;
    box->setFocus();
    box->end(false);
    QTest::keyClicks(box, QStringLiteral("x"));
    EXPECT_EQ(box->text(), host);
    QTest::keyClick(box, Qt::Key_Backspace);
    EXPECT_EQ(box->text(), host.chopped(1));
    QTest::keyClicks(box, QStringLiteral("yz"));
    EXPECT_EQ(box->text(), host.chopped(1) + QLatin1Char('y'));

    // A stored long host comes back whole at the next start.
    dialog->SaveSettings();
    StartProgram();
    EXPECT_EQ(dialog->txtConnectTo->text(), host.chopped(1) + QLatin1Char('y'));
}

// At the time-out the attempt ends there and then; it must not linger half-open
// and reach a server that comes up later.
TEST_F(ConnectDialogTest, TimeOutEndsTheAttemptAtOnce) {
    // A listener whose queue is full drops new SYNs: the attempt stays in Connecting.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(::listen(listener, 0), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    std::vector<int> fillers;
    for (int i = 0; i < 3; ++i) {
        fillers.push_back(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
        ::connect(fillers.back(), reinterpret_cast<sockaddr*>(&address), length);
    }
    Pump(50);
    // Sockets closed by earlier tests may still be letting their bytes leave.
    const auto lingering = [] { return QCoreApplication::instance()->findChildren<QTcpSocket*>().size(); };
    const auto lingeringBefore = lingering();

    dialog->tmr_Connect->setInterval(200);
    dialog->txtNickname->setText(QStringLiteral("Jan"));
    dialog->txtConnectToPort->setText(QString::number(ntohs(address.sin_port)));
    dialog->cmdJoin_Click();
    Pump(100);
    if (main->Winsock1->state() != net::Winsock::State::Connecting) {
        for (int fd : fillers)
            ::close(fd);
        ::close(listener);
        GTEST_SKIP() << "this system completes the attempt despite the full queue";
    }
    ASSERT_TRUE(WaitFor([&] { return !dialog->Joining; }));
    EXPECT_EQ(dialog->lblStatus->text(), QStringLiteral("Timeout bij het verbinden..."));
    EXPECT_EQ(main->Winsock1->state(), net::Winsock::State::Closed);
    // No socket lives on by itself, still trying.
    Pump(20);
    EXPECT_LE(lingering(), lingeringBefore);
    EXPECT_TRUE(main->Winsock1->findChildren<QTcpSocket*>().isEmpty());
    for (int fd : fillers)
        ::close(fd);
    ::close(listener);
}

// A long status text wraps inside the dialog instead of widening it.
TEST_F(ConnectDialogTest, LongStatusWrapsAndTheDialogKeepsItsWidth) {
    dialog->adjustSize();
    Pump(10);
    const int width = dialog->width();
    const QString host = QStringLiteral("een zeer lange servernaam met spaties erin die niet past");
    dialog->lblStatus->setText(QStringLiteral("Bezig met verbinden naar ") + host + QStringLiteral("..."));
    dialog->adjustSize();
    Pump(10);
    EXPECT_EQ(dialog->width(), width);
    EXPECT_TRUE(dialog->lblStatus->wordWrap());
    EXPECT_LE(dialog->lblStatus->geometry().right(), dialog->rect().right());
    // Every line of it is on screen: the label is as tall as its wrapped text.
    EXPECT_GE(dialog->lblStatus->height(), dialog->lblStatus->heightForWidth(dialog->lblStatus->width()));
}

TEST_F(ConnectDialogTest, CommandLineWithoutStoredNicknameOnlyAsksForOne) {
    StartProgram(QStringLiteral("127.0.0.1:%1").arg(server.port()));
    ASSERT_EQ(rec.notices.size(), 1);
    EXPECT_EQ(rec.notices[0].text, QStringLiteral("Je moet een geldige nickname invullen."));
    EXPECT_FALSE(dialog->Joining);
    Pump(50);
    EXPECT_TRUE(server.client.isNull());
}

TEST_F(ConnectDialogTest, HelpSwitchShowsTheSyntaxSavesAndEnds) {
    net::SaveSetting(kApp, QStringLiteral("Options"), QStringLiteral("Nickname"), QStringLiteral("Jan"));
    StartProgram(QStringLiteral("--help"));
    ASSERT_EQ(rec.notices.size(), 1);
    EXPECT_EQ(rec.notices[0].title, QStringLiteral("ZindleChat"));
    EXPECT_EQ(rec.notices[0].icon, QMessageBox::Information);
    EXPECT_EQ(rec.notices[0].text, QStringLiteral("Syntaxis: ZINDLECHAT.EXE [server[:port] [password]]"));
    EXPECT_EQ(rec.programEnded, 1);
    EXPECT_FALSE(dialog->Joining);
    EXPECT_EQ(net::GetSetting(kApp, QStringLiteral("Options"), QStringLiteral("ConnectToPort")),
              QStringLiteral("12345"));
}

TEST_F(ConnectDialogTest, DoubleClickOnLogoOrVersionOpensAbout) {
    QMouseEvent click(QEvent::MouseButtonDblClick, QPointF(2, 2), QPointF(2, 2), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(dialog->Image1, &click);
    QCoreApplication::sendEvent(dialog->lblVersie, &click);
    EXPECT_EQ(rec.aboutShown, 2);
}

TEST_F(ConnectDialogTest, CountdownAfterALostConnectionReturnsToTheDialog) {
    main->Extras().setOn(client::Comfort::AutoReconnect, false); // as without the switch
    ASSERT_TRUE(LogIn(QStringLiteral("Jan"), {"1#Jan#0"}));
    QStringList captions;
    QObject::connect(main.get(), &QWidget::windowTitleChanged, main.get(),
                     [&](const QString& caption) { captions << caption; });
    server.CloseClient();
    ASSERT_TRUE(WaitFor([&] { return dialog->isVisible(); }));

    const QString caption =
        QStringLiteral("ZindleChat [Verbinding verloren.. Verbindingsscherm in %1 seconden]");
    EXPECT_EQ(captions, (QStringList{caption.arg(3), caption.arg(2), caption.arg(1), caption.arg(0)}));
    EXPECT_FALSE(main->isVisible());
    EXPECT_EQ(main->windowTitle(), caption.arg(0)); // kept until the next room information
    EXPECT_EQ(main->tmr_CountDown, 0);
    EXPECT_FALSE(main->tmr_Disconnect->isActive());
    EXPECT_EQ(main->tmr_Disconnect->interval(), main->CountdownTick());
    EXPECT_TRUE(main->Transcript().plainText().isEmpty());
    EXPECT_EQ(main->txtOutput->toPlainText(), QString());
    ExpectState(false, true, QStringLiteral("Verbinden met host"), QStringLiteral("Verbinding verbroken"));
    EXPECT_TRUE(dialog->cmdJoin->isEnabled());
}

// After the countdown the dialog connects again by itself with the same
// values, counting down a back-off; its button stops that.
TEST_F(ConnectDialogTest, ALostSessionConnectsAgainByItselfUntilTheButtonStopsIt) {
    qint64 now = 0;
    dialog->Reconnect->setClock([&now] { return now; });
    dialog->Reconnect->setRandom([] { return 0.5; });
    ASSERT_TRUE(LogIn(QStringLiteral("Jan"), {"1#Jan#0"}));
    server.CloseClient();
    ASSERT_TRUE(WaitFor([&] { return dialog->isVisible(); }));
    ExpectState(false, true, QStringLiteral("Annuleren..."), QStringLiteral("Opnieuw verbinden over 2 s..."));
    now += 1000;
    dialog->Reconnect->poll();
    EXPECT_EQ(dialog->lblStatus->text(), QStringLiteral("Opnieuw verbinden over 1 s..."));
    server.client.clear();
    server.Take();
    now += 1000;
    dialog->Reconnect->poll();
    EXPECT_TRUE(dialog->Joining);
    ASSERT_TRUE(server.WaitConnected());
    EXPECT_TRUE(server.WaitFor(QByteArray("CACKJan#")).contains("CACKJan#"));

    // This connection is lost before the login: the next wait is longer.
    server.CloseClient();
    ASSERT_TRUE(WaitFor([&] { return dialog->isVisible() && !dialog->Joining; }));
    EXPECT_EQ(dialog->lblStatus->text(), QStringLiteral("Opnieuw verbinden over 4 s..."));
    dialog->cmdJoin->click();
    ExpectState(false, true, QStringLiteral("Verbinden met host"), QStringLiteral("Verbinding verbroken"));
    now += 60000;
    dialog->Reconnect->poll();
    EXPECT_FALSE(dialog->Joining);

    // The user's own disconnect brings the dialog back without a new attempt.
    server.client.clear();
    server.Take();
    ASSERT_TRUE(LogIn(QStringLiteral("Jan"), {"1#Jan#0"}));
    main->mnuZindleChat_Click(0);
    ASSERT_TRUE(WaitFor([&] { return dialog->isVisible(); }));
    ExpectState(false, true, QStringLiteral("Verbinden met host"), QStringLiteral("Verbinding verbroken"));
    EXPECT_FALSE(dialog->Reconnect->waiting());
}

// A status that wraps to a second line moves none of the boxes.
TEST_F(ConnectDialogTest, TheBoxesStayInPlaceWhenTheStatusWraps) {
    dialog->adjustSize();
    Pump(10);
    const QRect nickname = dialog->txtNickname->geometry(), port = dialog->txtConnectToPort->geometry();
    const QRect join = dialog->cmdJoin->geometry();
    // A status about one and a half times as wide as the label: two lines.
    QString status = QStringLiteral("Bezig met verbinden naar");
    const QFontMetrics metrics = dialog->lblStatus->fontMetrics();
    while (metrics.horizontalAdvance(status) < dialog->lblStatus->width() * 3 / 2)
        status += QStringLiteral(" server");
    dialog->lblStatus->setText(status + QStringLiteral("..."));
    Pump(10);
    ASSERT_GT(dialog->lblStatus->heightForWidth(dialog->lblStatus->width()), metrics.lineSpacing() * 3 / 2);
    EXPECT_EQ(dialog->txtNickname->geometry(), nickname);
    EXPECT_EQ(dialog->txtConnectToPort->geometry(), port);
    EXPECT_EQ(dialog->cmdJoin->geometry(), join);
}

} // namespace

// An IPv6 literal in brackets from the command line reaches a server on ::1; the
// box shows it without brackets, and so it is stored.
TEST_F(ConnectDialogTest, AnIPv6AddressFromTheCommandLineConnects) {
    QTcpServer v6;
    ASSERT_TRUE(v6.listen(QHostAddress::LocalHostIPv6, 0));
    net::SaveSetting(kApp, QStringLiteral("Options"), QStringLiteral("Nickname"), QStringLiteral("Jan"));
    StartProgram(QStringLiteral("[::1]:%1").arg(v6.serverPort()));
    EXPECT_EQ(dialog->txtConnectTo->text(), QStringLiteral("::1"));
    EXPECT_TRUE(dialog->Joining);
    ASSERT_TRUE(WaitFor([&] { return v6.hasPendingConnections(); }));
    ASSERT_TRUE(WaitFor([&] { return main->Winsock1->state() == net::Winsock::State::Connected; }));
    EXPECT_EQ(main->Winsock1->remoteHostIP(), QStringLiteral("::1"));
}
