// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The connect dialog: the client's first window and the one it returns to after
// every session. It collects nickname, room password, host and port, starts the
// main window's connection with a ten-second time-out, and ends the program when
// it is closed.
#include "client/ui/Prompts.h"
#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace client {

class Reconnector;
class ServerTrust;
class TrustPrompt;
class frmMain;

class frmConnect : public QDialog {
    Q_OBJECT
public:
    frmConnect(frmMain& main, Prompts prompts, QWidget* parent = nullptr);
    ~frmConnect() override;

    // Reads the settings and then the command line (the program's arguments as
    // one text); may connect at once, or end the program for a help switch.
    void Form_Load(const QString& commandLine);

    // The countdown after a session brings the dialog back through this.
    void ShowAfterSession();
    // Writes the nine settings from the boxes and the main window's colours.
    void SaveSettings() const;
    // The session is established: the dialog goes out of sight, still Joining.
    void ConnectionEstablished();

    // "Client\r\n Versie 0.2 build #0013"
    static QString VersionCaption();

    QLineEdit* txtNickname = nullptr;
    QLineEdit* txtPassword = nullptr;
    QLineEdit* txtConnectTo = nullptr;
    QLineEdit* txtConnectToPort = nullptr;
    QCheckBox* chkTls = nullptr; // "Versleuteld (TLS)"
    QPushButton* cmdJoin = nullptr;
    QPushButton* cmdClose = nullptr;
    QLabel* lblStatus = nullptr;
    QLabel* lblVersie = nullptr;
    QLabel* Image1 = nullptr;
    QTimer* tmr_Connect = nullptr;
    // Connects again by itself after a lost session.
    Reconnector* Reconnect = nullptr;

    bool Joining = false;

    // The server's certificate before the session starts (encrypted connections).
    ServerTrust* Trust = nullptr;
    TrustPrompt* TrustQuestions = nullptr;

public slots:
    void cmdJoin_Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void reject() override;

private slots:
    void cmdClose_Click();
    void tmr_Connect_Timer();
    void cmdJoin_Pressed();

private:
    void BuildControls();
    void Form_QueryUnload();
    void SetBoxesEnabled(bool enabled);
    void BuildReconnect();
    bool CheckNickname(const QString& nickname);
    bool CheckAddress(const QString& host, const QString& portText, quint16* port);
    void BuildTrust();
    void AttemptEnded(const QString& status);

    frmMain& Main;
    Prompts prompts;
    bool unloading = false;
};

} // namespace client
