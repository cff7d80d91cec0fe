// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/ui/frmMainPrivate.h"

#include "about/Logo.h"
#include "about/ScreenUnits.h"
#include "client/core/InputCommands.h"
#include "client/core/PrivateChats.h"
#include "client/core/TranscriptWriter.h"
#include "client/ui/Accessibility.h"
#include "client/ui/Comforts.h"
#include "client/ui/ConversationWidgets.h"
#include "client/ui/InputLineKeys.h"
#include "client/ui/frmMain.h"
#include <QAction>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QToolBar>

namespace client {

namespace {
constexpr int kInputHeightTwips = 330;
constexpr int kButtonWidthTwips = 1000;
constexpr int kMinWidthTwips = 200;
const QString kNotSent = QStringLiteral("**NIET VERSTUURD: GEEN VERBINDING MET DE SERVER**\r\n");
} // namespace

frmMainPrivate::frmMainPrivate(frmMain& main, QWidget* parent) : QWidget(parent, Qt::Window), Main(main) {
    setObjectName(QStringLiteral("frmMainPrivate"));
    setAttribute(Qt::WA_DeleteOnClose);
    BuildControls();
    transcript = std::make_unique<TranscriptWriter>(txtOutput->document());
    // Colours and the own nickname are the main window's, read at every line.
    transcript->setColorsSource([this] { return Main.Colors(); });
    transcript->setLocalNicknameSource([this] { return Main.LocalNickname(); });
    Form_Load();
    Main.Extras().attach(this, txtOutput, txtInput, *transcript, [this] { return sRemoteNickname; });
    Main.Access().attach(this, txtOutput, txtInput, *transcript, true);
}

frmMainPrivate::~frmMainPrivate() {
    Form_QueryUnload();
}

void frmMainPrivate::BuildControls() {
    setWindowTitle(QStringLiteral("ZindleChat"));
    setWindowIcon(about::LogoIcon());
    resize(ui::TwipsToPixels(7200, this), ui::TwipsToPixels(4800, this));

    Toolbar1 = NewToolbar(this);
    auto button = [this](int index, const char* caption, const char* tip) {
        Toolbar1Buttons[std::size_t(index)] =
            AddToolbarButton(Toolbar1, index, caption, tip, [this](int i) { Toolbar1_ButtonClick(i); });
    };
    button(1, "Versturen", "Een bestand versturen");
    Toolbar1Buttons[2] = Toolbar1->addSeparator();
    button(3, "Sluiten", "Dit venster sluiten");

    txtOutput = NewTranscriptBox(this);
    txtOutput->installEventFilter(this);
    txtInput = NewInputLine(this);

    cmdDefault = new QPushButton(QStringLiteral("Sturen"), this);
    cmdDefault->setObjectName(QStringLiteral("cmdDefault"));
    cmdDefault->setEnabled(false);
    cmdClose = new QPushButton(QStringLiteral("Sluiten"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));

    connect(cmdDefault, &QPushButton::clicked, this, &frmMainPrivate::cmdDefault_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmMainPrivate::cmdClose_Click);
    connect(txtInput, &QLineEdit::textChanged, this, &frmMainPrivate::UpdateSendButton);
    connect(txtInput, &QLineEdit::returnPressed, this, [this] {
        if (cmdDefault->isEnabled())
            cmdDefault->click();
    });
}

void frmMainPrivate::Form_Load() {
    // A colour changed later in the main window reaches new lines, not these boxes.
    const ChatColors& colors = Main.Colors();
    SetBoxColors(txtOutput, colors.Background, colors.Text);
    SetBoxColors(txtInput, colors.Background, colors.Text);
}

void frmMainPrivate::OpenFor(int userId, const QString& nickname) {
    Tag = QString::number(userId);
    sRemoteNickname = nickname;
    setWindowTitle(PrivateCaption(nickname));
}

void frmMainPrivate::AddOutput(const QString& strData, bool NoTimestamp) {
    transcript->AddOutput(strData, NoTimestamp);
}

void frmMainPrivate::UpdateSendButton() {
    cmdDefault->setEnabled(!txtInput->text().isEmpty());
}

void frmMainPrivate::cmdDefault_Click() {
    RememberSentLine(txtInput);
    const InputCommand command = PrivateInput(txtInput->text(), Main.LocalNickname(), Tag);
    if (command.kind == InputCommand::Kind::SetAway) {
        Main.SetAway();
    } else if (command.kind == InputCommand::Kind::Send) {
        if (Main.InSession()) {
            Main.SendData(command.strData, command.SpecialPacket);
            // The server echoes nothing back: this is the sender's only copy.
            AddOutput(command.echo);
        } else {
            // Between sessions nothing can be sent; an echo would claim otherwise.
            AddOutput(kNotSent);
        }
    }
    cmdDefault->setEnabled(false);
    txtInput->clear();
    txtInput->setFocus();
}

void frmMainPrivate::cmdClose_Click() {
    close();
}

void frmMainPrivate::Toolbar1_ButtonClick(int index) {
    if (index == 1)
        Main.FileShare(Tag, sRemoteNickname);
    else if (index == 3)
        close();
}

void frmMainPrivate::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool frmMainPrivate::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtOutput && event->type() == QEvent::KeyPress &&
        MoveTypingToInput(static_cast<QKeyEvent*>(event), txtInput))
        return true;
    return QWidget::eventFilter(watched, event);
}

void frmMainPrivate::closeEvent(QCloseEvent* event) {
    Form_QueryUnload();
    event->accept();
}

void frmMainPrivate::Form_QueryUnload() {
    if (unloaded || Tag.isEmpty())
        return;
    unloaded = true;
    // The slot is free again for the next conversation, with this partner or another.
    Main.PrivateChats.release(Tag.toInt());
}

void frmMainPrivate::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

void frmMainPrivate::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // A window opened minimised is restored without a resize: its controls are
    // laid out when its state changes.
    if (event->type() == QEvent::WindowStateChange)
        Form_Resize();
}

void frmMainPrivate::Form_Resize() {
    if (isMinimized())
        return;
    const int w = width(), h = height();
    const int toolbarHeight = Toolbar1->sizeHint().height();
    const int inputHeight =
        std::max(ui::TwipsToPixels(kInputHeightTwips, this), txtInput->sizeHint().height());
    if (w < ui::TwipsToPixels(kMinWidthTwips, this) || h - toolbarHeight <= inputHeight)
        return;
    const int buttonWidth = ui::TwipsToPixels(kButtonWidthTwips, this);
    Toolbar1->setGeometry(0, 0, w, toolbarHeight);
    txtOutput->setGeometry(0, toolbarHeight, w, h - toolbarHeight - inputHeight);
    txtInput->setGeometry(0, h - inputHeight, std::max(0, w - 2 * buttonWidth), inputHeight);
    cmdDefault->setGeometry(w - 2 * buttonWidth, h - inputHeight, buttonWidth, inputHeight);
    cmdClose->setGeometry(w - buttonWidth, h - inputHeight, buttonWidth, inputHeight);
}

} // namespace client
