// SPDX-License-Identifier: GPL-3.0-or-later
// The two windows offscreen, with the dialogs replaced so nothing blocks.
#include "TransferHarness.h"
#include "client/filetransfer/FileReceiver.h"
#include "client/filetransfer/OfferRefusal.h"
#include "client/filetransfer/frmFileReceive.h"
#include "client/filetransfer/frmFileSend.h"
#include "net/Winsock.h"

#include <QDropEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QUrl>
#include <deque>
#include <gtest/gtest.h>

using namespace client;
using namespace fttest;

namespace {

// Records what the windows would have shown and answers from a script.
struct FakeDialogs {
    QString openPath, savePath;
    QStringList presets, messages, opened;
    std::deque<QMessageBox::StandardButton> answers;

    FileTransferDialogs Make() {
        FileTransferDialogs d;
        d.openFile = [this](QWidget*, const QString&) { return openPath; };
        d.saveFile = [this](QWidget*, const QString& preset) {
            presets << preset;
            return savePath.isEmpty() ? preset : savePath;
        };
        d.messageBox = [this](QWidget*, QMessageBox::Icon, const QString& text,
                              QMessageBox::StandardButtons) {
            messages << text;
            if (answers.empty())
                return QMessageBox::Ok;
            const auto a = answers.front();
            answers.pop_front();
            return a;
        };
        d.openWithAssociatedProgram = [this](const QString& path) { opened << path; };
        return d;
    }
};

template <class T> T* Child(QWidget* w, const char* name) {
    T* c = w->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
}

class FileTransferWindows : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(src.isValid() && dst.isValid());
        source = src.filePath("source.bin");
        target = dst.filePath("target.bin");
        send = new frmFileSend([this](const std::string& s, bool special) {
            sent.push_back(s);
            EXPECT_TRUE(special);
        });
        send->setDialogs(sendDialogs.Make());
        send->RemoteUserID = 7;
    }
    void TearDown() override {
        delete send;
        delete receive;
    }
    // Offers `content` through the send window and opens the receive window on the offer.
    void OfferThroughWindows(const QByteArray& content, const QString& offeredName = QString()) {
        WriteFile(source, content);
        sendDialogs.openPath = source;
        Child<QPushButton>(send, "cmdBrowse")->click();
        Child<QPushButton>(send, "cmdSend")->click();
        ASSERT_EQ(sent.size(), 1u);
        const QStringList fields = QString::fromStdString(sent[0]).split('#');
        ASSERT_EQ(fields.size(), 3);
        EXPECT_EQ(fields[0], "FILE7");
        EXPECT_EQ(fields[1], "source.bin");
        receive = new frmFileReceive;
        receive->setDialogs(receiveDialogs.Make());
        receive->FileName = offeredName.isEmpty() ? fields[1] : offeredName;
        receive->RemoteIP = "127.0.0.1";
        receive->RemotePort = fields[2];
        receive->RemoteUser = "bob";
        receive->Start();
        ASSERT_TRUE(WaitFor([&] { return send->sender().state() == FileSender::State::AwaitingAnswer; }));
    }
    QString Status(QWidget* w) { return Child<QLabel>(w, "lblStatus")->text(); }
    QPushButton* Button(QWidget* w, const char* name) { return Child<QPushButton>(w, name); }

    QTemporaryDir src, dst;
    QString source, target;
    std::vector<std::string> sent;
    FakeDialogs sendDialogs, receiveDialogs;
    QPointer<frmFileSend> send;
    QPointer<frmFileReceive> receive;
};

} // namespace

TEST_F(FileTransferWindows, SendWindowRefusesBadPathsAndTooLargeFiles) {
    EXPECT_EQ(send->windowTitle(), "Bestand sturen");
    EXPECT_TRUE(send->testAttribute(Qt::WA_DeleteOnClose));
    Button(send, "cmdSend")->click();
    EXPECT_EQ(sendDialogs.messages, QStringList{"Dit is geen geldig bestand"});

    QFile huge(source); // sparse: costs no disk
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly) && huge.resize(2147483648LL));
    huge.close();
    Child<QLineEdit>(send, "txtFileName")->setText(source);
    Button(send, "cmdSend")->click();
    ASSERT_EQ(sendDialogs.messages.size(), 2);
    EXPECT_TRUE(sendDialogs.messages[1].contains("2147483647"));
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(Button(send, "cmdSend")->text(), "Versturen");
}

TEST_F(FileTransferWindows, AFileDroppedOnThePathBoxIsTaken) {
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile("/tmp/first.txt"), QUrl::fromLocalFile("/tmp/second.txt")});
    auto* box = Child<QLineEdit>(send, "txtFileName");
    // A drop goes to the widget that accepted the drag's entry.
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(box, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(box, &drop);
    EXPECT_EQ(box->text(), "/tmp/first.txt");
}

TEST_F(FileTransferWindows, OfferRefusedShowsTheStateTable) {
    OfferThroughWindows("abc");
    EXPECT_EQ(Status(send), "Wachten op toestemming van client");
    EXPECT_EQ(Button(send, "cmdSend")->text(), "Annuleren");
    EXPECT_TRUE(Button(send, "cmdSend")->isEnabled());
    EXPECT_FALSE(Button(send, "cmdClose")->isEnabled());
    EXPECT_FALSE(Button(send, "cmdBrowse")->isEnabled());
    EXPECT_FALSE(Child<QLineEdit>(send, "txtFileName")->isEnabled());
    EXPECT_EQ(Child<QLabel>(receive, "lblFileName")->text(), "source.bin");
    EXPECT_EQ(Child<QLabel>(receive, "lblRemoteUser")->text(), "bob");
    EXPECT_FALSE(Button(receive, "cmdClose")->isEnabled());
    EXPECT_FALSE(Button(receive, "cmdUitvoeren")->isEnabled());

    Button(receive, "cmdNo")->click(); // refuses and closes the window
    ASSERT_TRUE(WaitFor([&] { return !receive; }));
    ASSERT_TRUE(WaitFor([&] { return send->sender().state() == FileSender::State::Refused; }));
    EXPECT_EQ(Status(send), "De client heeft het bestand geweigerd!");
    EXPECT_EQ(Child<QLabel>(send, "lblStatus")->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_EQ(Button(send, "cmdSend")->text(), "Annuleren");
    EXPECT_FALSE(Button(send, "cmdSend")->isEnabled());
    EXPECT_TRUE(Button(send, "cmdClose")->isEnabled());
}

TEST_F(FileTransferWindows, CompleteTransferThenOpenTheFile) {
    OfferThroughWindows(RandomBytes(20 * 131072 + 3, 11));
    receiveDialogs.savePath = target;
    Button(receive, "cmdYes")->click();
    EXPECT_TRUE(Child<QFrame>(receive, "frQuestion")->isHidden());
    ASSERT_TRUE(WaitFor([&] { return Button(receive, "cmdClose")->isEnabled(); }));
    EXPECT_EQ(Status(receive), "Overdracht voltooid");
    EXPECT_EQ(Status(send), "Overdracht voltooid");
    EXPECT_EQ(Child<QProgressBar>(receive, "ProgressBar1")->value(), 100);
    EXPECT_EQ(Child<QProgressBar>(send, "ProgressBar1")->value(), 100);
    EXPECT_FALSE(Button(receive, "cmdCancel")->isEnabled());
    EXPECT_FALSE(Button(send, "cmdSend")->isEnabled());
    EXPECT_TRUE(Button(send, "cmdClose")->isEnabled());
    EXPECT_EQ(Hash(target), Hash(source));
    Button(receive, "cmdUitvoeren")->click();
    EXPECT_EQ(receiveDialogs.opened, QStringList{target});
}

TEST_F(FileTransferWindows, TheOverwriteQuestionsThreeAnswers) {
    WriteFile(target, "old");
    OfferThroughWindows("new");
    receiveDialogs.savePath = target;
    // "Nee" opens the save dialog again, "Annuleren" leaves the offer unanswered.
    receiveDialogs.answers = {QMessageBox::No, QMessageBox::Cancel};
    Button(receive, "cmdYes")->click();
    EXPECT_EQ(receiveDialogs.presets, (QStringList{"source.bin", "source.bin"}));
    EXPECT_EQ(receiveDialogs.messages,
              QStringList(2, "Dit bestand bestaat al. Wilt u dit bestand overschrijven?"));
    EXPECT_FALSE(Child<QFrame>(receive, "frQuestion")->isHidden());
    EXPECT_EQ(receive->receiver().state(), FileReceiver::State::Asking);

    receiveDialogs.answers = {QMessageBox::Yes};
    Button(receive, "cmdYes")->click();
    ASSERT_TRUE(WaitFor([&] { return receive->receiver().state() == FileReceiver::State::Done; }));
    EXPECT_EQ(Hash(target), Hash(source));
}

TEST_F(FileTransferWindows, HostileOfferedNamesAndTheReceiversCancel) {
    OfferThroughWindows("abc", "../../.ssh/authorized_keys");
    EXPECT_EQ(Child<QLabel>(receive, "lblFileName")->text(), "authorized_keys");
    receive->FileName = "..";
    Button(receive, "cmdYes")->click(); // no usable preset, dialog dismissed: nothing is answered
    EXPECT_EQ(receiveDialogs.presets, QStringList{""});
    EXPECT_EQ(receive->receiver().state(), FileReceiver::State::Asking);

    Button(receive, "cmdCancel")->click();
    EXPECT_EQ(Status(receive), "Geannuleerd door gebruiker...");
    EXPECT_FALSE(Button(receive, "cmdCancel")->isEnabled());
    EXPECT_TRUE(Button(receive, "cmdClose")->isEnabled());
    ASSERT_TRUE(WaitFor([&] { return send->sender().state() == FileSender::State::CancelledByPeer; }));
    EXPECT_EQ(Status(send), "De client heeft de overdracht geannuleerd");
    EXPECT_TRUE(Entries(dst.path()).isEmpty());
}

TEST_F(FileTransferWindows, ABareNameIsFoundInTheCurrentFolderAndCancelAllowsANewOffer) {
    WriteFile(source, "abc");
    const QString before = QDir::currentPath();
    QDir::setCurrent(src.path());
    Child<QLineEdit>(send, "txtFileName")->setText("source.bin");
    Button(send, "cmdSend")->click();
    QDir::setCurrent(before);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(Status(send), "Verbinding aan het zoeken met client...");
    EXPECT_TRUE(send->sender().TimeOut()->isActive());

    Button(send, "cmdSend")->click(); // cancel while nobody has connected
    EXPECT_EQ(Status(send), "Verbinding geannuleerd");
    EXPECT_EQ(Button(send, "cmdSend")->text(), "Versturen");
    EXPECT_TRUE(Button(send, "cmdClose")->isEnabled());
    EXPECT_FALSE(send->sender().TimeOut()->isActive());

    Child<QLineEdit>(send, "txtFileName")->setText(source);
    Button(send, "cmdSend")->click();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1], "FILE7#source.bin#" + std::to_string(send->sender().port()));
}

TEST_F(FileTransferWindows, OffersBeyondTheOpenWindowsAreRefusedAtOnce) {
    const int before = frmFileReceive::OpenWindows();
    std::vector<std::unique_ptr<frmFileReceive>> open;
    for (int i = 0; i < kMaxReceiveWindows; ++i)
        open.push_back(std::make_unique<frmFileReceive>());
    EXPECT_EQ(frmFileReceive::OpenWindows(), before + kMaxReceiveWindows);
    open.pop_back();
    EXPECT_EQ(frmFileReceive::OpenWindows(), before + kMaxReceiveWindows - 1);

    // The refusal is the receiver's "DENY", so the sender shows an ordinary refusal.
    WriteFile(source, "abc");
    sendDialogs.openPath = source;
    Button(send, "cmdBrowse")->click();
    Button(send, "cmdSend")->click();
    RefuseOffer("127.0.0.1", send->sender().port());
    ASSERT_TRUE(WaitFor([&] { return send->sender().state() == FileSender::State::Refused; }));
    EXPECT_EQ(Status(send), "De client heeft het bestand geweigerd!");
    EXPECT_EQ(OfferRefusedLine("bob"),
              "**BESTAND VAN bob GEWEIGERD: ER STAAN AL 20 ONTVANGSTVENSTERS OPEN**\r\n");
    EXPECT_EQ(OfferRefusedLine(""), "**BESTAND GEWEIGERD: ER STAAN AL 20 ONTVANGSTVENSTERS OPEN**\r\n");
}

TEST(OfferRefusal, AFloodOfOffersOpensOnlyAFewConnectionsAtOnce) {
    // Nobody listens there: every refusal stays under way until it gives up.
    QTcpServer gone;
    ASSERT_TRUE(gone.listen(QHostAddress::LocalHost));
    const quint16 port = gone.serverPort();
    gone.close();
    auto underWay = [] {
        return QCoreApplication::instance()->findChildren<net::Winsock*>(Qt::FindDirectChildrenOnly).size();
    };
    for (int i = 0; i < 300; ++i)
        RefuseOffer("127.0.0.1", port);
    EXPECT_EQ(underWay(), 20);
    qDeleteAll(QCoreApplication::instance()->findChildren<net::Winsock*>(Qt::FindDirectChildrenOnly));
}
