// SPDX-License-Identifier: GPL-3.0-or-later
#include "ClientFixture.h"

#include "client/core/EncryptionChoice.h"
#include "net/SettingsStore.h"
#include "net/Winsock.h"
#include <QFile>
#include <QLineEdit>

namespace testsupport {

void ClientFixture::SetUp() {
    QFile::remove(net::SettingsFilePath(QStringLiteral("ZindleChat")));
    // The scripted server speaks the plain protocol; the encryption tests turn
    // the box back on themselves.
    client::SaveEncryptionChoice(false);
    StartProgram();
}

void ClientFixture::TearDown() {
    dialog.reset();
    main.reset();
    Pump(5); // deferred deletes of closed windows
}

void ClientFixture::StartProgram(const QString& commandLine) {
    dialog.reset();
    main.reset();
    main = std::make_unique<client::frmMain>(rec.prompts());
    main->SetCountdownTick(20);
    dialog = std::make_unique<client::frmConnect>(*main, rec.prompts());
    main->setConnectDialog(dialog.get());
    dialog->show();
    dialog->Form_Load(commandLine);
}

bool ClientFixture::LogIn(const QString& nickname, const QList<std::string>& users) {
    dialog->txtNickname->setText(nickname);
    dialog->txtConnectTo->setText(QStringLiteral("127.0.0.1"));
    dialog->txtConnectToPort->setText(QString::number(server.port()));
    dialog->cmdJoin_Click();
    if (!server.WaitConnected())
        return false;
    const QByteArray cack = server.WaitFor(QByteArray("\xFF\xFF"
                                                      "CACK",
                                                      6));
    if (!cack.startsWith("\xFF\xFF"
                         "CACK"))
        return false;
    server.Send(Command("SACK"));
    if (!server.WaitFor(Command("ACKD")).contains(Command("ACKD")))
        return false;
    QByteArray script = Command("SINFKamer#0.2.0004");
    for (const std::string& user : users)
        script += Command("USRL" + user);
    server.Send(script);
    return WaitFor([&] { return main->windowTitle().contains(QStringLiteral("[Kamer]")); });
}

} // namespace testsupport
