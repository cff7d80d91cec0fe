// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmFileReceive.h"

#include "FileTransferProtocol.h"
#include "PlainTransferNote.h"
#include "TransferAccessibility.h"
#include "about/ScreenUnits.h"

#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>

namespace client {

using namespace filetransfer;

namespace {
// The user answers the overwrite question; each "Nee" opens the save dialog once more.
constexpr int kMaxSaveRounds = 100;
int openWindows = 0;
} // namespace

int frmFileReceive::OpenWindows() {
    return openWindows;
}

frmFileReceive::frmFileReceive(QWidget* parent)
    : QWidget(parent), m_dialogs(FileTransferDialogs::Standard()) {
    ++openWindows;
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("frmFileReceive"));
    setWindowTitle(QStringLiteral("Bestand ontvangen"));

    m_receiver = new FileReceiver(this);
    frQuestion = new QFrame(this);
    frQuestion->setFrameShape(QFrame::StyledPanel);
    lblFileName = new QLabel(frQuestion);
    lblRemoteUser = new QLabel(frQuestion);
    cmdYes = new QPushButton(QStringLiteral("Ja"), frQuestion);
    cmdNo = new QPushButton(QStringLiteral("Nee"), frQuestion);
    txtFileName = new QLineEdit(this);
    txtFileName->setReadOnly(true);
    cmdUitvoeren = new QPushButton(QStringLiteral("Uitvoeren"), this);
    cmdCancel = new QPushButton(QStringLiteral("Annuleren"), this);
    cmdClose = new QPushButton(QStringLiteral("Sluiten"), this);
    lblStatus = new QLabel(this);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    frQuestion->setObjectName(QStringLiteral("frQuestion"));
    lblFileName->setObjectName(QStringLiteral("lblFileName"));
    lblRemoteUser->setObjectName(QStringLiteral("lblRemoteUser"));
    cmdYes->setObjectName(QStringLiteral("cmdYes"));
    cmdNo->setObjectName(QStringLiteral("cmdNo"));
    txtFileName->setObjectName(QStringLiteral("txtFileName"));
    cmdUitvoeren->setObjectName(QStringLiteral("cmdUitvoeren"));
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));

    auto* question = new QGridLayout(frQuestion);
    question->addWidget(
        new QLabel(QStringLiteral("Wil je dit bestand van deze gebruiker ontvangen?"), frQuestion), 0, 0, 1,
        3);
    question->addWidget(new QLabel(QStringLiteral("Bestand:"), frQuestion), 1, 0);
    question->addWidget(lblFileName, 1, 1, 1, 2);
    question->addWidget(new QLabel(QStringLiteral("Gebruiker:"), frQuestion), 2, 0);
    question->addWidget(lblRemoteUser, 2, 1, 1, 2);
    auto* answers = new QHBoxLayout;
    answers->addStretch();
    answers->addWidget(cmdYes);
    answers->addWidget(cmdNo);
    question->addLayout(answers, 3, 0, 1, 3);
    question->setColumnStretch(1, 1);

    auto* grid = new QGridLayout(this);
    grid->addWidget(frQuestion, 0, 0, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Te ontvangen bestand:"), this), 1, 0, 1, 3);
    grid->addWidget(txtFileName, 2, 0, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Status:"), this), 3, 0);
    grid->addWidget(lblStatus, 3, 1, 1, 2);
    grid->addWidget(ProgressBar1, 4, 0, 1, 3);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdUitvoeren);
    buttons->addStretch();
    buttons->addWidget(cmdCancel);
    buttons->addWidget(cmdClose);
    grid->addLayout(buttons, 5, 0, 1, 3);
    grid->addWidget(PlainTransferNote(this), 6, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    resize(ui::TwipsToPixels(6600, this), ui::TwipsToPixels(3600, this));
    MakeReceiveWindowAccessible(this);

    connect(cmdYes, &QPushButton::clicked, this, &frmFileReceive::cmdYes_Click);
    connect(cmdNo, &QPushButton::clicked, this, &frmFileReceive::cmdNo_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmFileReceive::cmdCancel_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmFileReceive::cmdClose_Click);
    connect(cmdUitvoeren, &QPushButton::clicked, this, &frmFileReceive::cmdUitvoeren_Click);
    // "Ja" is the default button, "Sluiten" the cancel button.
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter})
        connect(new QShortcut(QKeySequence(key), this), &QShortcut::activated, this, [this] {
            if (frQuestion->isVisible() && cmdYes->isEnabled())
                cmdYes->click();
        });
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, [this] {
        if (cmdClose->isEnabled())
            cmdClose->click();
    });
    connect(m_receiver, &FileReceiver::StateChanged, this, &frmFileReceive::showState);
    connect(m_receiver, &FileReceiver::StatusChanged, this, &frmFileReceive::showStatus);
    connect(m_receiver, &FileReceiver::ProgressChanged, this, &frmFileReceive::showProgress);
    showState();
}

frmFileReceive::~frmFileReceive() {
    --openWindows;
}

void frmFileReceive::setDialogs(FileTransferDialogs dialogs) {
    m_dialogs = std::move(dialogs);
}

void frmFileReceive::Start() {
    m_receiver->Start(RemoteIP, RemotePort.trimmed().toUShort());
    lblFileName->setText(DisplayFileName(FileName));
    lblRemoteUser->setText(RemoteUser);
}

void frmFileReceive::cmdYes_Click() {
    // A name that could leave the chosen folder is not offered as the default.
    const QString preset = SafeFileName(FileName).value_or(QString());
    for (int round = 0; round < kMaxSaveRounds; ++round) {
        const QString chosen = m_dialogs.saveFile(this, preset);
        if (!SafeFileName(chosen))
            return; // nothing usable was chosen: the offer stays unanswered
        const QString path = QFileInfo(chosen).absoluteFilePath();
        txtFileName->setText(path);
        bool mayReplace = false;
        if (QFileInfo::exists(path)) {
            const auto answer = m_dialogs.messageBox(
                this, QMessageBox::Question,
                QStringLiteral("Dit bestand bestaat al. Wilt u dit bestand overschrijven?"),
                QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            if (answer == QMessageBox::No)
                continue;
            if (answer != QMessageBox::Yes)
                return;
            mayReplace = true; // the old file gives way when the new one is complete
        }
        txtFileName->setCursorPosition(int(path.size()));
        m_receiver->Accept(path, mayReplace);
        frQuestion->hide();
        repaint();
        return;
    }
}

void frmFileReceive::cmdNo_Click() {
    m_receiver->Refuse();
    close();
}

void frmFileReceive::cmdCancel_Click() {
    m_receiver->Cancel();
}

void frmFileReceive::cmdClose_Click() {
    close();
}

void frmFileReceive::cmdUitvoeren_Click() {
    m_dialogs.openWithAssociatedProgram(m_receiver->targetPath());
}

void frmFileReceive::showState() {
    using S = FileReceiver::State;
    const S state = m_receiver->state();
    const bool asking = state == S::Asking;
    cmdYes->setEnabled(asking);
    cmdNo->setEnabled(asking);
    cmdUitvoeren->setEnabled(state == S::Done);
    const bool open = !m_receiver->Finished() || (state == S::Done && m_receiver->connectionOpen());
    cmdCancel->setEnabled(open);
    cmdClose->setEnabled(!open);
}

void frmFileReceive::showStatus(const QString& text) {
    lblStatus->setText(text);
}

void frmFileReceive::showProgress(int percent) {
    ProgressBar1->setValue(percent);
    ProgressBar1->repaint();
}

} // namespace client
