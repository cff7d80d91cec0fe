// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window that answers one file offer: it asks the user, picks the save
// path and shows the transfer that a FileReceiver runs.
#include "FileReceiver.h"
#include "FileTransferDialogs.h"

#include <QString>
#include <QWidget>

class QFrame;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace client {

class frmFileReceive : public QWidget {
    Q_OBJECT
public:
    explicit frmFileReceive(QWidget* parent = nullptr);
    ~frmFileReceive() override;

    int RemoteUserID = 0;
    QString FileName; // as offered; cleaned before it is shown or used
    QString RemoteIP;
    QString RemotePort;
    QString RemoteUser;

    // Connects to the offering client and shows the offer.
    void Start();

    void setDialogs(FileTransferDialogs dialogs);
    // Receive windows open now, this one included.
    static int OpenWindows();
    FileReceiver& receiver() { return *m_receiver; }

private slots:
    void cmdYes_Click();
    void cmdNo_Click();
    void cmdCancel_Click();
    void cmdClose_Click();
    void cmdUitvoeren_Click();

private:
    void showState();
    void showStatus(const QString& text);
    void showProgress(int percent);

    FileTransferDialogs m_dialogs;
    FileReceiver* m_receiver = nullptr;

    QFrame* frQuestion = nullptr;
    QLabel* lblFileName = nullptr;
    QLabel* lblRemoteUser = nullptr;
    QPushButton* cmdYes = nullptr;
    QPushButton* cmdNo = nullptr;
    QLineEdit* txtFileName = nullptr;
    QPushButton* cmdUitvoeren = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdClose = nullptr;
    QLabel* lblStatus = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
};

} // namespace client
