// SPDX-License-Identifier: GPL-3.0-or-later
// The conveniences through the windows, with keystrokes as the user types them:
// input history, nickname completion, links, the find bar, the unread marker,
// desktop notifications (through a recording sink) and the conversation log;
// and that every one of them can be switched off and stays so.
#include "client/ui/Comforts.h"
#include "ClientFixture.h"
#include "client/core/ConversationLog.h"
#include "client/core/ConversationLogger.h"
#include "client/core/DesktopNotifications.h"
#include "client/core/LogWriter.h"
#include "client/core/NotificationSink.h"
#include "client/core/TranscriptWriter.h"
#include "client/filetransfer/frmFileReceive.h"
#include "client/ui/ConversationExtras.h"
#include "client/ui/FindBar.h"
#include "client/ui/NotificationRouter.h"
#include "client/ui/UnreadMarker.h"
#include "client/ui/frmMainPrivate.h"
#include "common/ZindleDivideCombine.h"
#include "net/SettingsStore.h"
#include <QAction>
#include <QApplication>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>

using namespace testsupport;
using client::Comfort;

namespace {

struct Shown {
    QString summary, body;
    quint64 key;
};

class RecordingSink : public client::NotificationSink {
public:
    void show(const QString& summary, const QString& body, quint64 key) override {
        shown.append({summary, body, key});
    }
    void click(quint64 key) { emit activated(key); }
    QList<Shown> shown;
};

class ComfortsTest : public ClientFixture {
protected:
    void SetUp() override {
        ClientFixture::SetUp();
        ASSERT_TRUE(
            LogIn(QStringLiteral("Jan"), {"1#Jan#0", "2#Piet#1", "3#Pieter#0", "4#Kees#0", "5#../../weg#0"}));
        server.Take();
        comforts().setUrlOpener([this](const QUrl& url) { opened.append(url); });
        comforts().notifications().setSink(sink = new RecordingSink);
        comforts().notifications().setClock([this] { return nowMs; });
        elsewhere.resize(100, 100);
    }
    void TearDown() override {
        elsewhere.hide();
        ClientFixture::TearDown();
    }
    client::Comforts& comforts() { return main->Extras(); }
    void Switch(Comfort comfort, bool on) { comforts().mnuVoorkeuren[std::size_t(comfort)]->setChecked(on); }

    static bool Activate(QWidget* window) {
        window->show();
        window->activateWindow();
        return WaitFor([window] { return window->isActiveWindow(); });
    }
    // Another program's window has the focus.
    bool LookAway() { return Activate(&elsewhere); }

    void Arrive(const std::string& line, const QString& shows) {
        server.Send(Chat(line + "\\r\\n"));
        ASSERT_TRUE(WaitFor([&] { return main->Transcript().plainText().contains(shows); }));
    }
    static void TypeAndSend(QLineEdit* input, const QString& text) {
        QTest::keyClicks(input, text);
        QTest::keyClick(input, Qt::Key_Return);
    }
    client::frmMainPrivate* OpenPrivate(int row) {
        main->lstNicknames->setCurrentRow(row);
        main->lstNicknames_DblClick();
        const int id = main->lstNicknames->item(row)->data(Qt::UserRole).toInt();
        return main->PrivateWindows[std::size_t(main->PrivateChats.find(id))];
    }

    QList<QUrl> opened;
    RecordingSink* sink = nullptr;
    qint64 nowMs = 100000; // the notifications' clock
    QWidget elsewhere;
};

TEST_F(ComfortsTest, UpAndDownRecallEachWindowsOwnLinesAndKeepTheDraft) {
    ASSERT_TRUE(Activate(main.get()));
    QLineEdit* input = main->txtInput;
    TypeAndSend(input, QStringLiteral("een"));
    TypeAndSend(input, QStringLiteral("/away"));
    TypeAndSend(input, QStringLiteral("twee"));
    server.WaitFor(Chat("Jan> twee\\r\\n"));
    QTest::keyClicks(input, QStringLiteral("half"));

    QStringList seen;
    for (Qt::Key key : {Qt::Key_Up, Qt::Key_Up, Qt::Key_Up, Qt::Key_Up, Qt::Key_Down, Qt::Key_Down,
                        Qt::Key_Down, Qt::Key_Down}) {
        QTest::keyClick(input, key);
        seen << input->text();
    }
    EXPECT_EQ(seen, (QStringList{"twee", "/away", "een", "een", "/away", "twee", "half", "half"}));
    EXPECT_TRUE(main->cmdDefault->isEnabled()); // a recalled line can be sent as it is

    // A recalled line goes out again like a typed one.
    QTest::keyClick(input, Qt::Key_Up);
    QTest::keyClick(input, Qt::Key_Return);
    EXPECT_EQ(server.WaitFor(QByteArray(1, '\0')), Chat("Jan> twee\\r\\n"));

    // A private window has a history of its own.
    client::frmMainPrivate* window = OpenPrivate(3);
    ASSERT_NE(window, nullptr);
    QTest::keyClick(window->txtInput, Qt::Key_Up);
    EXPECT_EQ(window->txtInput->text(), QString());
    TypeAndSend(window->txtInput, QStringLiteral("prive"));
    QTest::keyClick(window->txtInput, Qt::Key_Up);
    EXPECT_EQ(window->txtInput->text(), QStringLiteral("prive"));

    Switch(Comfort::InputHistory, false);
    input->clear();
    QTest::keyClick(input, Qt::Key_Up);
    EXPECT_EQ(input->text(), QString());
}

TEST_F(ComfortsTest, TabCompletesAndCyclesNicknamesAndOtherwiseMovesTheFocus) {
    ASSERT_TRUE(Activate(main.get()));
    QLineEdit* input = main->txtInput;
    input->setFocus();
    QTest::keyClicks(input, QStringLiteral("pi"));
    QStringList seen;
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(input, Qt::Key_Tab);
        seen << input->text();
    }
    // "Away|Piet" completes as Piet; at the line start the name gets ": ".
    EXPECT_EQ(seen, (QStringList{"Piet: ", "Pieter: ", "Piet: "}));
    EXPECT_EQ(main->focusWidget(), input);

    QTest::keyClicks(input, QStringLiteral("hoi ke"));
    QTest::keyClick(input, Qt::Key_Tab);
    EXPECT_EQ(input->text(), QStringLiteral("Piet: hoi Kees"));

    // Nothing to complete: the Tab moves the focus on, the text stays.
    QTest::keyClicks(input, QStringLiteral(" xy"));
    QTest::keyClick(input, Qt::Key_Tab);
    EXPECT_EQ(input->text(), QStringLiteral("Piet: hoi Kees xy"));
    EXPECT_NE(main->focusWidget(), input);

    Switch(Comfort::NicknameCompletion, false);
    input->setFocus();
    input->setText(QStringLiteral("pi"));
    QTest::keyClick(input, Qt::Key_Tab);
    EXPECT_EQ(input->text(), QStringLiteral("pi"));
    EXPECT_NE(main->focusWidget(), input);
}

struct Fragment {
    QString text, href;
    qint64 color;
};

std::vector<Fragment> Anchors(QTextDocument* document) {
    std::vector<Fragment> out;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isAnchor())
                out.push_back({it.fragment().text(), it.fragment().charFormat().anchorHref(),
                               client::ColorToInt(it.fragment().charFormat().foreground().color())});
    return out;
}

TEST_F(ComfortsTest, LinksAreExactSpansThatOpenOnAClickAndNothingElseIsRead) {
    Arrive("Piet> kijk op www.zindle.nl, of <b>niet</b> &amp; <a href=\"http://x.nl\">y</a>", "</a>");
    QTextDocument* document = main->txtOutput->document();
    // The markup stays text; only the address is a link, in the line's own colour.
    EXPECT_TRUE(document->toPlainText().contains(
        QStringLiteral("kijk op www.zindle.nl, of <b>niet</b> &amp; <a href=\"http://x.nl\">y</a>")));
    std::vector<Fragment> anchors = Anchors(document);
    ASSERT_EQ(anchors.size(), 2u);
    EXPECT_EQ(anchors[0].text, QStringLiteral("www.zindle.nl"));
    EXPECT_EQ(anchors[0].href, QStringLiteral("http://www.zindle.nl"));
    EXPECT_EQ(anchors[0].color, main->Colors().Text);
    EXPECT_EQ(anchors[1].text, QStringLiteral("http://x.nl")); // the text inside the quotes, as text
    EXPECT_TRUE(main->txtOutput->isReadOnly());
    EXPECT_TRUE(main->txtOutput->textInteractionFlags() & Qt::TextSelectableByMouse);

    auto pointAt = [&](const QString& text) {
        QTextCursor cursor(document);
        cursor.setPosition(int(document->toPlainText().indexOf(text)) + 2);
        return main->txtOutput->cursorRect(cursor).center();
    };
    QTest::mouseClick(main->txtOutput->viewport(), Qt::LeftButton, {}, pointAt(QStringLiteral("www.zindle")));
    EXPECT_EQ(opened, QList<QUrl>{QUrl(QStringLiteral("http://www.zindle.nl"))});
    QTest::mouseClick(main->txtOutput->viewport(), Qt::LeftButton, {}, pointAt(QStringLiteral("kijk")));
    EXPECT_EQ(opened.size(), 1);

    Switch(Comfort::Links, false);
    Arrive("Piet> en www.ander.nl", "ander");
    EXPECT_EQ(Anchors(document).size(), 2u);
    QTest::mouseClick(main->txtOutput->viewport(), Qt::LeftButton, {}, pointAt(QStringLiteral("www.zindle")));
    EXPECT_EQ(opened.size(), 1);
}

TEST_F(ComfortsTest, FindBarGoesForwardBackwardAndRoundAndEscapeClosesOnlyTheBar) {
    Arrive("Piet> appel", "appel");
    Arrive("Piet> peer", "peer");
    Arrive("Piet> appeltaart", "appeltaart");
    ASSERT_TRUE(Activate(main.get()));
    client::FindBar* bar = comforts().mainExtras()->findBar;
    const QRect transcriptPlace = main->txtOutput->geometry();

    QTest::keyClick(main->txtInput, Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(bar->isVisible());
    EXPECT_EQ(main->focusWidget(), bar->txtFind);
    EXPECT_LT(main->txtOutput->geometry().height(), transcriptPlace.height()); // the bar takes its own strip

    const QString text = main->txtOutput->document()->toPlainText();
    const int first = int(text.indexOf(QStringLiteral("appel"))), second = int(text.lastIndexOf("appel"));
    auto at = [&] { return main->txtOutput->textCursor().selectionStart(); };
    QTest::keyClicks(bar->txtFind, QStringLiteral("APPEL")); // as it is typed, in any case
    EXPECT_EQ(at(), first);
    QTest::keyClick(bar->txtFind, Qt::Key_Return);
    EXPECT_EQ(at(), second);
    QTest::keyClick(bar->txtFind, Qt::Key_F3);
    EXPECT_EQ(at(), first);
    EXPECT_EQ(bar->lblFindStatus->text(), QStringLiteral("Verder vanaf het begin"));
    QTest::keyClick(bar->txtFind, Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_EQ(at(), second);
    EXPECT_EQ(bar->lblFindStatus->text(), QStringLiteral("Verder vanaf het einde"));
    QTest::keyClick(bar->txtFind, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(at(), first);
    EXPECT_EQ(main->txtOutput->textCursor().selectedText(), QStringLiteral("appel"));

    bar->txtFind->setText(QStringLiteral("banaan"));
    QTest::keyClick(bar->txtFind, Qt::Key_Return);
    EXPECT_EQ(bar->lblFindStatus->text(), QStringLiteral("Niet gevonden"));

    QTest::keyClick(bar->txtFind, Qt::Key_Escape);
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(main->txtOutput->geometry(), transcriptPlace);
    EXPECT_EQ(main->focusWidget(), main->txtInput);
    EXPECT_FALSE(main->txtOutput->textCursor().hasSelection());

    // A private window has its own bar; Escape there closes the bar, not the window.
    client::frmMainPrivate* window = OpenPrivate(3);
    ASSERT_TRUE(Activate(window));
    window->AddOutput(QStringLiteral("Kees> hallo\r\n"));
    QTest::keyClick(window->txtInput, Qt::Key_F, Qt::ControlModifier);
    auto* privateBar = window->findChild<client::FindBar*>();
    ASSERT_TRUE(privateBar && privateBar->isVisible());
    QTest::keyClicks(privateBar->txtFind, QStringLiteral("hallo"));
    EXPECT_EQ(window->txtOutput->textCursor().selectedText(), QStringLiteral("hallo"));
    QTest::keyClick(privateBar->txtFind, Qt::Key_Escape);
    EXPECT_FALSE(privateBar->isVisible());
    EXPECT_TRUE(window->isVisible());

    Switch(Comfort::FindBar, false);
    QTest::keyClick(window->txtInput, Qt::Key_F, Qt::ControlModifier);
    EXPECT_FALSE(privateBar->isVisible());
}

int BlockOf(QTextDocument* document, const QString& text) {
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        if (block.text().contains(text))
            return block.blockNumber();
    return -2;
}

TEST_F(ComfortsTest, UnreadMarkerSitsAboveTheFirstLineThatCameWhileAway) {
    client::UnreadMarker* marker = comforts().mainExtras()->unread;
    QTextDocument* document = main->txtOutput->document();
    ASSERT_TRUE(Activate(main.get()));
    Arrive("Piet> gelezen", "gelezen");
    ASSERT_TRUE(LookAway());
    Arrive("Piet> nieuw een", "nieuw een");
    Arrive("Piet> nieuw twee", "nieuw twee");
    EXPECT_EQ(marker->markedBlock(), -1); // drawn when the user comes back
    ASSERT_TRUE(Activate(main.get()));
    EXPECT_EQ(marker->markedBlock(), BlockOf(document, QStringLiteral("gelezen")));

    // Away and back without new lines: the marker stays; with new lines it moves.
    ASSERT_TRUE(LookAway());
    ASSERT_TRUE(Activate(main.get()));
    EXPECT_EQ(marker->markedBlock(), BlockOf(document, QStringLiteral("gelezen")));
    ASSERT_TRUE(LookAway());
    Arrive("Piet> nieuw drie", "nieuw drie");
    ASSERT_TRUE(Activate(main.get()));
    EXPECT_EQ(marker->markedBlock(), BlockOf(document, QStringLiteral("nieuw twee")));
    EXPECT_FALSE(document->toPlainText().contains(QChar(0x2028))); // the text itself is untouched

    Switch(Comfort::UnreadMarker, false);
    EXPECT_EQ(marker->markedBlock(), -1);
    ASSERT_TRUE(LookAway());
    Arrive("Piet> nieuw vier", "nieuw vier");
    ASSERT_TRUE(Activate(main.get()));
    EXPECT_EQ(marker->markedBlock(), -1);
}

TEST_F(ComfortsTest, NotificationsForPrivateLinesMentionsAndFileOffersBringTheWindowForward) {
    ASSERT_TRUE(LookAway());
    server.Send(Command("PRIV" + ZindleDivideCombine::Combine({"4", "hoi\r\n"})));
    ASSERT_TRUE(WaitFor([&] { return !sink->shown.isEmpty(); }));
    EXPECT_EQ(sink->shown.last().summary, QStringLiteral("Privebericht van Kees"));
    EXPECT_EQ(sink->shown.last().body, QStringLiteral("hoi"));
    client::frmMainPrivate* window = main->PrivateWindows[std::size_t(main->PrivateChats.find(4))];
    ASSERT_TRUE(window && window->isMinimized());
    // More lines from the same partner soon after: the desktop is not flooded.
    server.Send(Command("PRIV" + ZindleDivideCombine::Combine({"4", "hoi?\r\n"})) +
                Command("PRIV" + ZindleDivideCombine::Combine({"4", "hallo??\r\n"})));
    ASSERT_TRUE(WaitFor([&] { return window->Transcript().plainText().contains("hallo??"); }));
    EXPECT_EQ(sink->shown.size(), 1);
    nowMs += client::NotificationRouter::kQuietMs;
    server.Send(Command("PRIV" + ZindleDivideCombine::Combine({"4", "ben je er?\r\n"})));
    ASSERT_TRUE(WaitFor([&] { return sink->shown.size() == 2; }));
    EXPECT_EQ(sink->shown.last().body, QStringLiteral("ben je er?"));

    sink->click(sink->shown.last().key);
    EXPECT_FALSE(window->isMinimized());
    EXPECT_TRUE(WaitFor([&] { return window->isActiveWindow(); }));

    // Public lines only when they name the user, by someone else, while the window is elsewhere.
    ASSERT_TRUE(LookAway());
    sink->shown.clear();
    Arrive("Piet> zeg jan, kom je?", "kom je");
    Arrive("Jan> Jan is er", "Jan is er");
    Arrive("Piet> niemand", "niemand");
    ASSERT_EQ(sink->shown.size(), 1);
    EXPECT_EQ(sink->shown.last().summary, QStringLiteral("Piet noemde je naam"));
    EXPECT_EQ(sink->shown.last().body, QStringLiteral("zeg jan, kom je?"));
    sink->click(sink->shown.last().key);
    EXPECT_TRUE(WaitFor([&] { return main->isActiveWindow(); }));
    Arrive("Piet> jan, nu wel?", "nu wel");
    EXPECT_EQ(sink->shown.size(), 1); // the window is in front

    // A file offer always notifies; its window comes forward on the click.
    QTcpServer sender;
    ASSERT_TRUE(sender.listen(QHostAddress::LocalHost));
    main->FileDialogs =
        client::FileTransferDialogs{[](QWidget*, const QString& current) { return current; },
                                    [](QWidget*, const QString& preset) { return preset; },
                                    [](QWidget*, QMessageBox::Icon, const QString&,
                                       QMessageBox::StandardButtons) { return QMessageBox::No; },
                                    [](const QString&) {}};
    server.Send(Command("FILE" + ZindleDivideCombine::Combine(
                                     {"2", "foto.jpg", "127.0.0.1", std::to_string(sender.serverPort())})));
    ASSERT_TRUE(WaitFor([&] { return sink->shown.size() == 2; }));
    EXPECT_EQ(sink->shown.last().summary, QStringLiteral("Piet wil je een bestand sturen"));
    EXPECT_EQ(sink->shown.last().body, QStringLiteral("foto.jpg"));
    client::frmFileReceive* receive = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* r = qobject_cast<client::frmFileReceive*>(w); r && r->isVisible())
            receive = r;
    ASSERT_NE(receive, nullptr);
    sink->click(sink->shown.last().key);
    EXPECT_FALSE(receive->isMinimized());
    delete receive;
    sink->click(sink->shown.last().key); // a window that is gone: nothing happens

    Switch(Comfort::Notifications, false);
    ASSERT_TRUE(LookAway());
    Arrive("Piet> jan!", "jan!");
    EXPECT_EQ(sink->shown.size(), 2);
}

// The quiet period belongs to a conversation: another partner in the same
// window (a window that took a closed one's place) is not kept quiet.
TEST_F(ComfortsTest, TheQuietPeriodIsKeptPerConversationNotPerWindow) {
    client::NotificationRouter& router = comforts().notifications();
    QWidget window;
    router.notify(&window, QStringLiteral("prive:Kees"), QStringLiteral("Kees"), QStringLiteral("1"));
    router.notify(&window, QStringLiteral("prive:Kees"), QStringLiteral("Kees"), QStringLiteral("2"));
    router.notify(&window, QStringLiteral("prive:Piet"), QStringLiteral("Piet"), QStringLiteral("3"));
    router.notify(&window, QString(), QStringLiteral("kamer"), QStringLiteral("4"));
    QStringList bodies;
    for (const auto& shown : sink->shown)
        bodies << shown.body;
    EXPECT_EQ(bodies, (QStringList{QStringLiteral("1"), QStringLiteral("3"), QStringLiteral("4")}));
}

// With UTF-8 off, what cannot travel is marked in the input line before it is sent.
TEST_F(ComfortsTest, WithoutUtf8TheInputLineMarksWhatCannotBeSent) {
    main->txtInput->setText(QStringLiteral("5\u20AC"));
    EXPECT_EQ(main->txtInput->text(), QStringLiteral("5\u20AC")); // kept as typed
    EXPECT_TRUE(main->txtInput->toolTip().isEmpty());
    Switch(Comfort::Unicode, false);
    EXPECT_FALSE(main->txtInput->toolTip().isEmpty());
    main->cmdDefault->click();
    EXPECT_TRUE(server.WaitFor(QByteArray("Jan> 5?")).contains("Jan> 5?"));
    Switch(Comfort::Unicode, true);
    main->txtInput->setText(QStringLiteral("5\u20AC"));
    EXPECT_TRUE(main->txtInput->toolTip().isEmpty());
    main->cmdDefault->click();
    EXPECT_TRUE(server.WaitFor(QByteArray("Jan> 5\xE2\x82\xAC")).contains("Jan> 5\xE2\x82\xAC"));
}

TEST_F(ComfortsTest, WithoutANotificationServiceTheChatGoesOnAsBefore) {
    const QDBusConnection none = QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"),
                                                               QStringLiteral("zindle-ui-no-bus"));
    comforts().notifications().setSink(new client::DesktopNotifications(none));
    ASSERT_TRUE(LookAway());
    server.Send(Command("PRIV" + ZindleDivideCombine::Combine({"4", "hoi\r\n"})));
    ASSERT_TRUE(WaitFor([&] { return main->PrivateChats.find(4) != 0; }));
    client::frmMainPrivate* window = main->PrivateWindows[std::size_t(main->PrivateChats.find(4))];
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->Transcript().plainText().endsWith(QStringLiteral("Kees> hoi\r\n")));
    Arrive("Piet> jan?", "jan?");
    QDBusConnection::disconnectFromBus(QStringLiteral("zindle-ui-no-bus"));
}

QStringList FilesUnder(const QString& root) {
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next().mid(root.size() + 1);
    files.sort();
    return files;
}

QString ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QStringLiteral("<missing>");
}

TEST_F(ComfortsTest, LogsAreOffByDefaultThenOneFilePerServerPartnerAndDay) {
    QTemporaryDir dir;
    const QString root = dir.path() + QStringLiteral("/logs");
    comforts().logger().setRoot(root);
    comforts().logger().setClock([] { return QDateTime(QDate(2026, 12, 8), QTime(9, 5, 7)); });
    Arrive("Piet> niet bewaard", "niet bewaard");
    ASSERT_TRUE(comforts().logger().writer().waitWritten(5000));
    EXPECT_FALSE(QFileInfo::exists(root));

    Switch(Comfort::ConversationLogs, true);
    Arrive("Piet> hoi \xEB \x01", "hoi"); // the wire is Latin-1, the file UTF-8
    server.Send(Command("PRIV" + ZindleDivideCombine::Combine({"5", "ontsnapt?\r\n"})));
    ASSERT_TRUE(WaitFor([&] { return main->PrivateChats.find(5) != 0; }));
    client::frmMainPrivate* window = main->PrivateWindows[std::size_t(main->PrivateChats.find(5))];
    window->txtInput->setText(QStringLiteral("nee"));
    window->cmdDefault->click();
    ASSERT_TRUE(comforts().logger().writer().waitWritten(5000));

    const QString server = QStringLiteral("127.0.0.1_") + QString::number(this->server.port());
    // The partner's name had to change: its folder says so with a hash of the name.
    const QString partner = client::SafeFileName(QStringLiteral("../../weg"));
    EXPECT_TRUE(partner.startsWith(QStringLiteral("___.._weg~")));
    EXPECT_EQ(FilesUnder(root), (QStringList{server + "/kamer/2026-12-08.log",
                                             server + "/prive/" + partner + "/2026-12-08.log"}));
    EXPECT_EQ(ReadAll(root + "/" + server + "/kamer/2026-12-08.log"),
              QString::fromUtf8("[09:05:07] Piet> hoi ë \\x01\n"));
    EXPECT_EQ(ReadAll(root + "/" + server + "/prive/" + partner + "/2026-12-08.log"),
              QStringLiteral("[09:05:07] ../../weg> ontsnapt?\n[09:05:07] Jan> nee\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{QStringLiteral("logs")});
}

TEST_F(ComfortsTest, AnUnwritableLogFolderGivesOneStatusLineAndTurnsLoggingOff) {
    QTemporaryDir dir;
    QFile blocker(dir.path() + QStringLiteral("/logs"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly)); // a file where the folder should be
    comforts().logger().setRoot(blocker.fileName());
    Switch(Comfort::ConversationLogs, true);
    Arrive("Piet> logregel1", "logregel1");
    Arrive("Piet> logregel2", "logregel2");
    ASSERT_TRUE(WaitFor([&] { return !comforts().isOn(Comfort::ConversationLogs); }));
    Arrive("Piet> logregel3", "logregel3"); // the chat goes on
    const QString transcript = main->Transcript().plainText();
    EXPECT_EQ(transcript.count(QStringLiteral("**GESPREKKEN WORDEN NIET MEER OPGESLAGEN:")), 1);
    EXPECT_FALSE(comforts().mnuVoorkeuren[std::size_t(Comfort::ConversationLogs)]->isChecked());
    EXPECT_EQ(net::GetSetting(QStringLiteral("ZindleChat"), QStringLiteral("Options"),
                              QStringLiteral("ConversationLogs")),
              QStringLiteral("0"));
}

TEST_F(ComfortsTest, SwitchesLiveInTheOptionsMenuAndAreKept) {
    QStringList captions;
    for (QAction* item : comforts().mnuVoorkeuren) {
        captions << item->text();
        EXPECT_TRUE(item->isCheckable());
    }
    EXPECT_EQ(captions.size(), client::kComfortCount);
    EXPECT_FALSE(
        comforts().mnuVoorkeuren[std::size_t(Comfort::ConversationLogs)]->isChecked()); // off by default
    EXPECT_TRUE(comforts().mnuVoorkeuren[std::size_t(Comfort::Links)]->isChecked());

    Switch(Comfort::Links, false);
    Switch(Comfort::ConversationLogs, true);
    EXPECT_EQ(
        net::GetSetting(QStringLiteral("ZindleChat"), QStringLiteral("Options"), QStringLiteral("Links")),
        QStringLiteral("0"));
    StartProgram();
    EXPECT_FALSE(main->Extras().isOn(Comfort::Links));
    EXPECT_TRUE(main->Extras().isOn(Comfort::ConversationLogs));
    EXPECT_FALSE(main->Extras().mnuVoorkeuren[std::size_t(Comfort::Links)]->isChecked());
}

} // namespace
