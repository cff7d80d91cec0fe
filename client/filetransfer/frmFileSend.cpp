// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmFileSend.h"

#include "FileDropLineEdit.h"
#include "FileTransferProtocol.h"
#include "PlainTransferNote.h"
#include "TransferAccessibility.h"
#include "about/ScreenUnits.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>

namespace client {

using namespace filetransfer;

frmFileSend::frmFileSend(std::function<void(const std::string& strData, bool specialPacket)> sendData,
                         QWidget* parent)
    : QWidget(parent), m_sendData(std::move(sendData)), m_dialogs(FileTransferDialogs::Standard()) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("frmFileSend"));
    setWindowTitle(QStringLiteral("Bestand sturen"));

    m_sender = new FileSender(this);
    txtFileName = new FileDropLineEdit(this);
    cmdBrowse = new QPushButton(QStringLiteral("..."), this);
    cmdBrowse->setMaximumWidth(ui::TwipsToPixels(600, this));
    cmdSend = new QPushButton(QStringLiteral("Versturen"), this);
    cmdClose = new QPushButton(QStringLiteral("Sluiten"), this);
    lblStatus = new QLabel(this);
    ProgressBar1 = new QProgressBar(this);
    txtFileName->setObjectName(QStringLiteral("txtFileName"));
    cmdBrowse->setObjectName(QStringLiteral("cmdBrowse"));
    cmdSend->setObjectName(QStringLiteral("cmdSend"));
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Te versturen bestand:"), this), 0, 0, 1, 3);
    grid->addWidget(txtFileName, 1, 0, 1, 2);
    grid->addWidget(cmdBrowse, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Status:"), this), 2, 0);
    grid->addWidget(lblStatus, 2, 1, 1, 2);
    grid->addWidget(ProgressBar1, 3, 0, 1, 3);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdSend);
    buttons->addWidget(cmdClose);
    grid->addLayout(buttons, 4, 0, 1, 3);
    grid->addWidget(PlainTransferNote(this), 5, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    resize(ui::TwipsToPixels(6600, this), ui::TwipsToPixels(2400, this));
    MakeSendWindowAccessible(this);

    connect(cmdBrowse, &QPushButton::clicked, this, &frmFileSend::cmdBrowse_Click);
    connect(txtFileName, &FileDropLineEdit::FilesDropped, this, &frmFileSend::txtFileName_OLEDragDrop);
    connect(cmdSend, &QPushButton::clicked, this, &frmFileSend::cmdSend_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmFileSend::cmdClose_Click);
    // "Sluiten" is the window's cancel button.
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, [this] {
        if (cmdClose->isEnabled())
            cmdClose->click();
    });
    connect(m_sender, &FileSender::StateChanged, this, &frmFileSend::showState);
    connect(m_sender, &FileSender::StatusChanged, this, &frmFileSend::showStatus);
    connect(m_sender, &FileSender::ProgressChanged, this, &frmFileSend::showProgress);
    showState();
}

frmFileSend::~frmFileSend() = default;

void frmFileSend::setDialogs(FileTransferDialogs dialogs) {
    m_dialogs = std::move(dialogs);
}

void frmFileSend::cmdBrowse_Click() {
    txtFileName->setText(m_dialogs.openFile(this, txtFileName->text()));
    txtFileName->setCursorPosition(int(txtFileName->text().size()));
}

void frmFileSend::txtFileName_OLEDragDrop(const QStringList& files) {
    if (!files.isEmpty())
        txtFileName->setText(files.first());
}

void frmFileSend::cmdSend_Click() {
    if (m_sender->Sending()) {
        m_sender->Cancel();
        return;
    }
    const QString path = txtFileName->text();
    switch (CheckFileToSend(path)) {
    case SendCheck::NotAFile:
        m_dialogs.messageBox(this, QMessageBox::Critical, QStringLiteral("Dit is geen geldig bestand"),
                             QMessageBox::Ok);
        return;
    case SendCheck::TooLarge:
        m_dialogs.messageBox(this, QMessageBox::Critical,
                             QStringLiteral("Dit bestand is te groot om te versturen. Bestanden mogen "
                                            "hoogstens 2147483647 bytes groot zijn."),
                             QMessageBox::Ok);
        return;
    case SendCheck::Ok:
        break;
    }
    const QFileInfo file(path); // a bare name is found in the current folder
    if (!m_sender->StartOffer(file.absoluteFilePath()))
        return; // the status says why
    m_sendData(BuildOfferRequest(RemoteUserID, file.fileName(), m_sender->port()), true);
}

void frmFileSend::cmdClose_Click() {
    close();
}

void frmFileSend::showState() {
    using S = FileSender::State;
    const S state = m_sender->state();
    const bool busy = m_sender->Sending();
    const bool ended = state == S::Done || state == S::Refused || state == S::CancelledByPeer;
    cmdSend->setText(busy || ended ? QStringLiteral("Annuleren") : QStringLiteral("Versturen"));
    cmdSend->setEnabled(busy || state == S::Idle);
    cmdClose->setEnabled(!busy);
    cmdBrowse->setEnabled(!busy);
    txtFileName->setEnabled(!busy);
}

void frmFileSend::showStatus(const QString& text, bool alarm) {
    lblStatus->setText(text);
    QPalette palette = lblStatus->palette();
    palette.setColor(QPalette::WindowText,
                     alarm ? QColor(255, 0, 0) : this->palette().color(QPalette::WindowText));
    lblStatus->setPalette(palette);
}

void frmFileSend::showProgress(int percent) {
    ProgressBar1->setValue(percent);
    ProgressBar1->repaint();
}

} // namespace client
