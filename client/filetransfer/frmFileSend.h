// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window that offers one file to one user and streams it once accepted.
// It only wires the controls to a FileSender and shows what the sender reports.
#include "FileSender.h"
#include "FileTransferDialogs.h"

#include <QString>
#include <QWidget>
#include <functional>
#include <string>

class QLabel;
class QProgressBar;
class QPushButton;

namespace client {

class FileDropLineEdit;

class frmFileSend : public QWidget {
    Q_OBJECT
public:
    // sendData is the main window's SendData: the offer goes to the server through it.
    explicit frmFileSend(std::function<void(const std::string& strData, bool specialPacket)> sendData,
                         QWidget* parent = nullptr);
    ~frmFileSend() override;

    int RemoteUserID = 0;
    QString RemoteUser;

    // Tests replace the file dialog and the message boxes so nothing blocks.
    void setDialogs(FileTransferDialogs dialogs);
    FileSender& sender() { return *m_sender; }

private slots:
    void cmdBrowse_Click();
    void txtFileName_OLEDragDrop(const QStringList& files);
    void cmdSend_Click();
    void cmdClose_Click();

private:
    void showState();
    void showStatus(const QString& text, bool alarm);
    void showProgress(int percent);

    std::function<void(const std::string&, bool)> m_sendData;
    FileTransferDialogs m_dialogs;
    FileSender* m_sender = nullptr;

    FileDropLineEdit* txtFileName = nullptr;
    QPushButton* cmdBrowse = nullptr;
    QPushButton* cmdSend = nullptr;
    QPushButton* cmdClose = nullptr;
    QLabel* lblStatus = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
};

} // namespace client
