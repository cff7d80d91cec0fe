// SPDX-License-Identifier: GPL-3.0-or-later
// Encryption in the windows: the connect dialog's box and "--plain", the status
// for a server without TLS, the question on first contact and the warning for a
// changed certificate, the main window's indicator and the list of trusted servers.
#include "ClientFixture.h"
#include "client/core/CertificatePins.h"
#include "client/core/EncryptionChoice.h"
#include "client/core/ServerTrust.h"
#include "client/core/TrustDecision.h"
#include "client/ui/Comforts.h"
#include "client/ui/EncryptionIndicator.h"
#include "client/ui/TrustPrompt.h"
#include "client/ui/TrustedServers.h"
#include "net/SettingsStore.h"
#include "net/Winsock.h"
#include "tests/support/TlsTestPeers.h"
#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

using namespace testsupport;

namespace {

const QByteArray kCack("\xFF\xFF"
                       "CACK",
                       6);

zindletest::TestPki& Pki() {
    static zindletest::TestPki pki;
    return pki;
}

class EncryptionDialogTest : public ClientFixture {
protected:
    void Join(quint16 port) {
        dialog->txtNickname->setText(QStringLiteral("Jan"));
        dialog->txtPassword->setText(QStringLiteral("geheim"));
        dialog->txtConnectTo->setText(QStringLiteral("127.0.0.1"));
        dialog->txtConnectToPort->setText(QString::number(port));
        dialog->cmdJoin_Click();
    }
    static QString StoredChoice() {
        return net::GetSetting(QStringLiteral("ZindleChat"), QStringLiteral("Options"),
                               QStringLiteral("Encrypted"));
    }
    QLabel* Indicator() const { return main->findChild<client::EncryptionIndicator*>(); }

    // A TLS test server with this identity, and the program started with the box ticked.
    bool StartEncrypted(const zindletest::TlsIdentity& identity) {
        if (!Pki().ok())
            return false;
        tlsServer = std::make_unique<zindletest::TlsTestServer>(identity);
        if (!tlsServer->start())
            return false;
        client::SaveEncryptionChoice(true);
        StartProgram();
        return true;
    }
    bool JoinUntilAsked() {
        Join(tlsServer->port());
        return WaitFor([&] { return dialog->TrustQuestions->question() != nullptr; });
    }

    std::unique_ptr<zindletest::TlsTestServer> tlsServer;
};

TEST_F(EncryptionDialogTest, BoxIsOnByDefaultAClickIsKeptAndPlainLeavesTheStoredChoice) {
    QFile::remove(net::SettingsFilePath(QStringLiteral("ZindleChat")));
    StartProgram();
    EXPECT_EQ(dialog->chkTls->text(), QStringLiteral("Versleuteld (TLS)"));
    EXPECT_TRUE(dialog->chkTls->isChecked());

    StartProgram(QStringLiteral("--plain"));
    EXPECT_FALSE(dialog->chkTls->isChecked());
    EXPECT_FALSE(dialog->Joining); // "--plain" alone connects nowhere
    dialog->close();               // saves the dialog's settings
    EXPECT_TRUE(client::LoadEncryptionChoice());
    StartProgram();
    EXPECT_TRUE(dialog->chkTls->isChecked());

    dialog->chkTls->click();
    EXPECT_EQ(StoredChoice(), QStringLiteral("0"));
    StartProgram();
    EXPECT_FALSE(dialog->chkTls->isChecked());
    dialog->chkTls->click();
    EXPECT_EQ(StoredChoice(), QStringLiteral("-1"));
}

TEST_F(EncryptionDialogTest, PlainOnTheCommandLineConnectsInPlaintext) {
    client::SaveEncryptionChoice(true);
    net::SaveSetting(QStringLiteral("ZindleChat"), QStringLiteral("Options"), QStringLiteral("Nickname"),
                     QStringLiteral("Jan"));
    StartProgram(QStringLiteral("--plain 127.0.0.1:%1 geheim").arg(server.port()));
    ASSERT_TRUE(server.WaitConnected());
    EXPECT_TRUE(server.WaitFor(kCack).startsWith(kCack));
    EXPECT_FALSE(dialog->chkTls->isChecked());
    EXPECT_EQ(StoredChoice(), QStringLiteral("-1"));
    server.Send(Command("SACK"));
    ASSERT_TRUE(WaitFor([&] { return main->InSession(); }));
    EXPECT_EQ(Indicator()->text(), client::EncryptionIndicator::kPlain);
}

TEST_F(EncryptionDialogTest, ServerWithoutTlsGetsNoLoginAndTheStatusSaysWhy) {
    client::SaveEncryptionChoice(true);
    StartProgram();
    Join(server.port());
    ASSERT_TRUE(server.WaitConnected());
    ASSERT_TRUE(WaitFor([&] { return !server.received.isEmpty(); }));
    server.Send(Chat("Wrong Protocol"));
    server.CloseClient();
    ASSERT_TRUE(WaitFor([&] { return !dialog->Joining; }));
    EXPECT_EQ(dialog->lblStatus->text(),
              QStringLiteral("Deze server ondersteunt geen versleutelde verbinding"));
    EXPECT_EQ(dialog->cmdJoin->text(), QStringLiteral("Verbinden..."));
    EXPECT_TRUE(dialog->txtConnectTo->isEnabled());
    EXPECT_TRUE(dialog->chkTls->isChecked()); // no silent way back to plaintext
    EXPECT_FALSE(server.received.contains("CACK"));
    EXPECT_FALSE(main->isVisible());
}

TEST_F(EncryptionDialogTest, FirstContactAsksInTheDialogAndJaStartsTheEncryptedSession) {
    ASSERT_TRUE(StartEncrypted(Pki().selfSigned)) << Pki().error().toStdString();
    ASSERT_TRUE(JoinUntilAsked());
    QMessageBox* box = dialog->TrustQuestions->question();
    const QString fingerprint = client::CertificateFingerprint(Pki().selfSigned.certificate.toDer());
    EXPECT_TRUE(box->text().contains(fingerprint));
    EXPECT_TRUE(box->isVisible());
    EXPECT_FALSE(dialog->tmr_Connect->isActive()); // no time-out while the user reads
    EXPECT_TRUE(tlsServer->received.isEmpty());

    QAbstractButton* ja = nullptr;
    for (QAbstractButton* b : box->buttons())
        if (b->text() == QStringLiteral("Ja"))
            ja = b;
    ASSERT_NE(ja, nullptr);
    EXPECT_EQ(box->buttons().size(), 2);
    ja->click();
    ASSERT_TRUE(WaitFor([&] { return tlsServer->received.contains(kCack); }));
    EXPECT_TRUE(main->isVisible());
    EXPECT_EQ(Indicator()->text(), client::EncryptionIndicator::kEncrypted);
    EXPECT_TRUE(Indicator()->toolTip().contains(fingerprint));
    EXPECT_EQ(client::PinnedFingerprint(QStringLiteral("127.0.0.1:%1").arg(tlsServer->port())), fingerprint);
}

TEST_F(EncryptionDialogTest, ChangedCertificateWarnsWithBothFingerprintsAndOffersNoWayOn) {
    ASSERT_TRUE(StartEncrypted(Pki().otherSelfSigned)) << Pki().error().toStdString();
    const QString pinned = client::CertificateFingerprint(Pki().selfSigned.certificate.toDer());
    const QString presented = client::CertificateFingerprint(Pki().otherSelfSigned.certificate.toDer());
    client::SavePin(QStringLiteral("127.0.0.1:%1").arg(tlsServer->port()), pinned);
    Join(tlsServer->port());
    ASSERT_TRUE(WaitFor([&] { return !dialog->Joining; }));
    EXPECT_EQ(dialog->lblStatus->text(), client::ServerTrust::kChangedStatus);
    ASSERT_EQ(rec.notices.size(), 1);
    EXPECT_EQ(rec.notices[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(rec.notices[0].text.contains(QStringLiteral("IS VERANDERD")));
    EXPECT_TRUE(rec.notices[0].text.contains(pinned));
    EXPECT_TRUE(rec.notices[0].text.contains(presented));
    const auto boxes = VisibleMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0]->buttons().size(), 1); // OK, and nothing that goes on
    EXPECT_EQ(dialog->TrustQuestions->question(), nullptr);
    Pump(50);
    EXPECT_TRUE(tlsServer->received.isEmpty());
    EXPECT_FALSE(main->isVisible());
    CloseMessageBoxes();
}

TEST_F(EncryptionDialogTest, CancellingWhileAskedWithdrawsTheQuestion) {
    ASSERT_TRUE(StartEncrypted(Pki().selfSigned)) << Pki().error().toStdString();
    ASSERT_TRUE(JoinUntilAsked());
    dialog->cmdJoin_Click(); // "Annuleren..."
    EXPECT_EQ(dialog->TrustQuestions->question(), nullptr);
    Pump(50);
    EXPECT_TRUE(VisibleMessageBoxes().empty());
    EXPECT_TRUE(client::AllPins().isEmpty());
    EXPECT_EQ(dialog->lblStatus->text(), QStringLiteral("Verbinding geannuleerd."));
}

TEST_F(EncryptionDialogTest, TrustedServersListsThePinsAndForgetsOne) {
    client::SavePin(QStringLiteral("a.example:1"), QStringLiteral("AA:11"));
    client::SavePin(QStringLiteral("b.example:2"), QStringLiteral("BB:22"));
    QAction* item =
        main->Extras().mnuVoorkeurenMenu->findChild<QAction*>(QStringLiteral("mnuVertrouwdeServers"));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(), QStringLiteral("Vertrouwde servers..."));
    item->trigger();
    client::TrustedServers* window = main->Extras().dlgTrustedServers;
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(window->lstPins->count(), 2);
    EXPECT_TRUE(window->lstPins->item(0)->text().contains(QStringLiteral("AA:11")));
    EXPECT_FALSE(window->cmdForget->isEnabled());
    window->lstPins->setCurrentRow(0);
    window->cmdForget->click();
    EXPECT_EQ(window->lstPins->count(), 1);
    EXPECT_EQ(client::PinnedFingerprint(QStringLiteral("a.example:1")), QString());
    EXPECT_EQ(client::PinnedFingerprint(QStringLiteral("b.example:2")), QStringLiteral("BB:22"));
    window->close();
}

} // namespace
