// SPDX-License-Identifier: GPL-3.0-or-later
// Two clients against the real server, run headless on a free loopback port:
// logging in, public lines, an action, private messages both ways, away, and
// seeing each other leave.
#include "UiTestSupport.h"
#include "client/core/ClientSession.h"
#include "client/core/TranscriptWriter.h"
#include "client/ui/frmConnect.h"
#include "client/ui/frmMain.h"
#include "client/ui/frmMainPrivate.h"
#include "net/Winsock.h"
#include <QAbstractButton>
#include <QAction>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

using namespace testsupport;

namespace {

// One running client program: its two windows and prompts that never block.
struct Client {
    RecordingPrompts rec;
    std::unique_ptr<client::frmMain> main;
    std::unique_ptr<client::frmConnect> dialog;

    // Plaintext unless asked: most of these tests are about the room, not the
    // certificate question.
    explicit Client(bool encrypted = false) {
        main = std::make_unique<client::frmMain>(rec.prompts());
        main->SetCountdownTick(20);
        dialog = std::make_unique<client::frmConnect>(*main, rec.prompts());
        main->setConnectDialog(dialog.get());
        dialog->show();
        dialog->Form_Load(encrypted ? QString() : QStringLiteral("--plain"));
    }
    ~Client() {
        dialog.reset();
        main.reset();
    }
    void Join(const QString& nickname, quint16 port) {
        dialog->txtNickname->setText(nickname);
        dialog->txtConnectTo->setText(QStringLiteral("127.0.0.1"));
        dialog->txtConnectToPort->setText(QString::number(port));
        dialog->cmdJoin_Click();
    }
    void Say(const QString& line) {
        main->txtInput->setText(line);
        main->cmdDefault->click();
    }
    QString Transcript() const { return main->Transcript().plainText(); }
    QStringList Users() const {
        QStringList out;
        for (int i = 0; i < main->lstNicknames->count(); ++i)
            out << main->lstNicknames->item(i)->text();
        return out;
    }
    int RowOf(const QString& text) const {
        for (int i = 0; i < main->lstNicknames->count(); ++i)
            if (main->lstNicknames->item(i)->text() == text)
                return i;
        return -1;
    }
};

quint16 FreePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

class TwoClientsTest : public ::testing::Test {
protected:
    void SetUp() override {
        const QString binary = QStringLiteral(ZINDLE_BUILD_DIR "/server/ZindleChatServer");
        if (!QFileInfo(binary).isExecutable())
            GTEST_SKIP() << "server binary not built: " << binary.toStdString();
        port = FreePort();
        server.setProgram(binary);
        server.setArguments({QStringLiteral("--headless"), QStringLiteral("--port"), QString::number(port)});
        server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server.start();
        ASSERT_TRUE(server.waitForStarted(5000));
        // Ready once it accepts a connection.
        ASSERT_TRUE(WaitFor(
            [&] {
                QTcpSocket probe;
                probe.connectToHost(QHostAddress::LocalHost, port);
                return probe.waitForConnected(100);
            },
            5000));
    }
    void TearDown() override {
        if (server.state() != QProcess::NotRunning) {
            server.kill();
            server.waitForFinished(3000);
        }
    }

    QProcess server;
    quint16 port = 0;
};

TEST_F(TwoClientsTest, ChatActionPrivateAwayAndLeaving) {
    Client anna, bram;
    anna.Join(QStringLiteral("Anna"), port);
    ASSERT_TRUE(WaitFor([&] { return anna.Users() == QStringList{"Anna"}; }, 5000))
        << anna.Transcript().toStdString();
    EXPECT_TRUE(anna.main->windowTitle().startsWith(QStringLiteral("ZindleChat - [Anna] [")));
    EXPECT_TRUE(anna.Transcript().contains(QStringLiteral("Message of the Day:\r\n---\r\n")));

    bram.Join(QStringLiteral("Bram"), port);
    ASSERT_TRUE(WaitFor(
        [&] {
            return bram.Users() == QStringList{"Anna", "Bram"} && anna.Users().size() == 2;
        },
        5000));
    EXPECT_TRUE(anna.Transcript().contains(QStringLiteral("* Bram is de chatserver binnengekomen...\r\n")));

    // A public line reaches both, the sender too; so does an action.
    anna.Say(QStringLiteral("hallo #iedereen"));
    bram.Say(QStringLiteral("/me zwaait"));
    // Each client hears both lines; the order between the two senders is not fixed.
    ASSERT_TRUE(WaitFor([&] {
        for (auto* c : {&anna, &bram})
            if (!c->Transcript().contains(QStringLiteral("] Anna> hallo #iedereen\r\n")) ||
                !c->Transcript().contains(QStringLiteral("] * Bram zwaait\r\n")))
                return false;
        return true;
    }));

    // Private: Anna opens a window on Bram; Bram's opens by itself and answers.
    anna.main->lstNicknames->setCurrentRow(anna.RowOf(QStringLiteral("Bram")));
    anna.main->lstNicknames_DblClick();
    client::frmMainPrivate* annaWindow = anna.main->PrivateWindows[1];
    ASSERT_NE(annaWindow, nullptr);
    annaWindow->txtInput->setText(QStringLiteral("geheim"));
    annaWindow->cmdDefault->click();
    ASSERT_TRUE(WaitFor([&] { return bram.main->PrivateWindows[1] != nullptr; }));
    client::frmMainPrivate* bramWindow = bram.main->PrivateWindows[1];
    ASSERT_TRUE(WaitFor([&] { return bramWindow->Transcript().plainText().contains("] Anna> geheim\r\n"); }));
    EXPECT_EQ(bramWindow->windowTitle(), QStringLiteral("Anna - ZindleChat"));
    EXPECT_TRUE(bramWindow->isMinimized());
    bramWindow->txtInput->setText(QStringLiteral("/me knikt"));
    bramWindow->cmdDefault->click();
    ASSERT_TRUE(WaitFor([&] { return annaWindow->Transcript().plainText().contains("] * Bram knikt\r\n"); }));
    EXPECT_TRUE(bramWindow->Transcript().plainText().contains("] * Bram knikt\r\n"));
    EXPECT_FALSE(anna.Transcript().contains(QStringLiteral("geheim"))); // never public

    // Away shows in the other's list and in one's own caption.
    bram.main->Toolbar1Buttons[3]->trigger();
    ASSERT_TRUE(WaitFor([&] { return anna.Users().contains(QStringLiteral("Away|Bram")); }));
    EXPECT_TRUE(bram.main->windowTitle().startsWith(QStringLiteral("AWAY - ZindleChat - [Bram]")));
    EXPECT_TRUE(WaitFor([&] { return bram.Users().contains(QStringLiteral("Away|Bram")); }));

    // Bram leaves; Anna sees him go, while her private window stays open.
    bram.main->mnuZindleChat[0]->trigger();
    ASSERT_TRUE(WaitFor([&] { return anna.Users() == QStringList{"Anna"}; }));
    EXPECT_TRUE(
        anna.Transcript().contains(QStringLiteral("* Away|Bram heeft de chatserver verlaten...\r\n")));
    EXPECT_TRUE(WaitFor([&] { return bram.dialog->isVisible(); }));
    EXPECT_EQ(bram.main->PrivateChats.heldCount(), 0);
    EXPECT_EQ(anna.main->PrivateChats.heldCount(), 1);
    EXPECT_TRUE(anna.rec.notices.isEmpty());
    EXPECT_TRUE(bram.rec.notices.isEmpty());
}

// The real client against the real server over TLS: the fingerprint the client
// asks about is the one the server logs, the answer is kept for the next
// connection, and an encrypted and a plaintext user share one room.
TEST_F(TwoClientsTest, EncryptedAndPlaintextUsersShareTheRoom) {
    QString logged;
    ASSERT_TRUE(WaitFor([&] {
        logged += QString::fromUtf8(server.readAllStandardOutput());
        return logged.contains(QStringLiteral("TLS-vingerafdruk (SHA-256): "));
    }));
    const qsizetype at = logged.indexOf(QStringLiteral("TLS-vingerafdruk (SHA-256): ")) + 28;
    const QString fingerprint = logged.mid(at, 95);
    ASSERT_EQ(fingerprint.count(u':'), 31) << logged.toStdString();

    Client anna(true);
    anna.Join(QStringLiteral("Anna"), port);
    QMessageBox* question = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        question = anna.dialog->findChild<QMessageBox*>(QStringLiteral("TrustQuestion"));
        return question != nullptr && question->isVisible();
    }));
    EXPECT_TRUE(question->text().contains(fingerprint)) << question->text().toStdString();
    QAbstractButton* yes = nullptr;
    for (QAbstractButton* button : question->buttons())
        if (button->text() == QStringLiteral("Ja"))
            yes = button;
    ASSERT_NE(yes, nullptr);
    yes->click(); // the box goes with the answer
    ASSERT_TRUE(WaitFor([&] { return anna.Users() == QStringList{"Anna"}; }, 5000))
        << anna.Transcript().toStdString();
    EXPECT_TRUE(anna.main->Winsock1->isEncrypted());

    // Trusted once: the next encrypted connection to that server asks nothing.
    Client bram(true), carla;
    bram.Join(QStringLiteral("Bram"), port);
    carla.Join(QStringLiteral("Carla"), port);
    ASSERT_TRUE(WaitFor([&] { return anna.Users().size() == 3 && carla.Users().size() == 3; }, 5000));
    EXPECT_EQ(bram.dialog->findChild<QMessageBox*>(QStringLiteral("TrustQuestion")), nullptr);
    EXPECT_TRUE(bram.main->Winsock1->isEncrypted());
    EXPECT_FALSE(carla.main->Winsock1->isEncrypted());

    anna.Say(QStringLiteral("versleuteld en toch voor iedereen"));
    EXPECT_TRUE(WaitFor([&] {
        return carla.Transcript().contains(QStringLiteral("] Anna> versleuteld en toch voor iedereen\r\n")) &&
               bram.Transcript().contains(QStringLiteral("] Anna> versleuteld en toch voor iedereen\r\n"));
    }));
    EXPECT_TRUE(anna.rec.notices.isEmpty());
}

TEST_F(TwoClientsTest, SecondUserWithTheSameNicknameIsRefused) {
    Client first, second;
    first.Join(QStringLiteral("Anna"), port);
    ASSERT_TRUE(WaitFor([&] { return first.Users() == QStringList{"Anna"}; }, 5000));
    second.Join(QStringLiteral("Anna"), port);
    ASSERT_TRUE(WaitFor([&] {
        return second.Transcript().contains(
            QStringLiteral("**NICKNAME BESTAAT AL OP DE SERVER OF IS NIET TOEGESTAAN**\r\n"));
    }));
    EXPECT_TRUE(WaitFor([&] { return second.dialog->isVisible(); }))
        << second.Transcript().toStdString() << " timer " << second.main->tmr_Disconnect->isActive() << " "
        << second.main->windowTitle().toStdString();
    EXPECT_EQ(first.Users(), QStringList{"Anna"});
}

} // namespace
