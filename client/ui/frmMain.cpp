// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/ui/frmMain.h"

#include "about/Logo.h"
#include "about/ScreenUnits.h"
#include "client/core/ClientSession.h"
#include "client/core/InputCommands.h"
#include "client/core/SessionCaption.h"
#include "client/core/TranscriptWriter.h"
#include "client/filetransfer/OfferRefusal.h"
#include "client/filetransfer/frmFileReceive.h"
#include "client/filetransfer/frmFileSend.h"
#include "client/ui/Accessibility.h"
#include "client/ui/Comforts.h"
#include "client/ui/ConversationWidgets.h"
#include "client/ui/EncryptionIndicator.h"
#include "client/ui/InputLineKeys.h"
#include "client/ui/QuietShow.h"
#include "client/ui/frmConnect.h"
#include "client/ui/frmMainPrivate.h"
#include "net/Winsock.h"
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>

namespace client {

namespace {
// Layout in twips, converted at the screen's DPI.
constexpr int kListWidthTwips = 2400;
constexpr int kInputHeightTwips = 330;
constexpr int kSendButtonWidthTwips = 1100;
constexpr int kMinWidthTwips = 300;
constexpr int kMinSpareHeightTwips = 300;

const QString kCountdownCaption =
    QStringLiteral("ZindleChat [Verbinding verloren.. Verbindingsscherm in %1 seconden]");
} // namespace

frmMain::frmMain(Prompts prompts, QWidget* parent) : QWidget(parent), prompts(std::move(prompts)) {
    setObjectName(QStringLiteral("frmMain"));
    Winsock1 = new net::Winsock(this);
    Winsock1->setObjectName(QStringLiteral("Winsock1"));
    Session = new ClientSession(Winsock1, this);
    BuildControls();
    BuildMenus();
    transcript = std::make_unique<TranscriptWriter>(txtOutput->document());
    transcript->setColorsSource([this] { return colors; });
    transcript->setLocalNicknameSource([this] { return LocalNickname(); });
    ConnectSession();
    Form_Load();
    comforts = std::make_unique<Comforts>(*this);
    new EncryptionIndicator(*this);
    access = new Accessibility(*this);
}

frmMain::~frmMain() {
    // The members the session's signals reach go before the children do.
    Session->disconnect(this);
    Session->setPrivateMessageHandler({});
    // Private windows have no parent (a parent would keep them above this one);
    // they end with the main window.
    for (auto& window : PrivateWindows)
        delete window.data();
}

void frmMain::BuildControls() {
    setWindowTitle(QStringLiteral("ZindleChat"));
    setWindowIcon(about::LogoIcon());
    resize(ui::TwipsToPixels(9600, this), ui::TwipsToPixels(6000, this));

    Toolbar1 = NewToolbar(this);
    auto button = [this](int index, const char* caption, const char* tip) {
        Toolbar1Buttons[std::size_t(index)] =
            AddToolbarButton(Toolbar1, index, caption, tip, [this](int i) { Toolbar1_ButtonClick(i); });
    };
    button(1, "Opties", "Optiemenu openen");
    Toolbar1Buttons[2] = Toolbar1->addSeparator();
    button(3, "Afwezig", "Op afwezig zetten");
    Toolbar1Buttons[3]->setCheckable(true);
    Toolbar1Buttons[4] = Toolbar1->addSeparator();
    button(5, "Versturen", "Een bestandje versturen");
    Toolbar1Buttons[5]->setEnabled(false);

    txtOutput = NewTranscriptBox(this);
    txtOutput->installEventFilter(this);

    lstNicknames = new QListWidget(this);
    lstNicknames->setObjectName(QStringLiteral("lstNicknames"));
    lstNicknames->setFont(txtOutput->font());
    lstNicknames->viewport()->installEventFilter(this);

    txtInput = NewInputLine(this);
    txtInput->setEnabled(false);
    txtInput->installEventFilter(this);

    cmdDefault = new QPushButton(QStringLiteral("Sturen"), this);
    cmdDefault->setObjectName(QStringLiteral("cmdDefault"));
    cmdDefault->setEnabled(false);

    tmr_Disconnect = new QTimer(this);
    tmr_Disconnect->setObjectName(QStringLiteral("tmr_Disconnect"));
    tmr_Disconnect->setInterval(countdownTick);

    connect(cmdDefault, &QPushButton::clicked, this, &frmMain::cmdDefault_Click);
    connect(txtInput, &QLineEdit::textChanged, this, &frmMain::UpdateSendButton);
    connect(txtInput, &QLineEdit::returnPressed, this, [this] {
        if (cmdDefault->isEnabled())
            cmdDefault->click();
    });
    connect(lstNicknames, &QListWidget::itemSelectionChanged, this, &frmMain::lstNicknames_Click);
    connect(lstNicknames, &QListWidget::itemDoubleClicked, this, &frmMain::lstNicknames_DblClick);
    connect(tmr_Disconnect, &QTimer::timeout, this, &frmMain::tmr_Disconnect_Timer);
}

void frmMain::BuildMenus() {
    auto item = [this](QMenu* menu, const QString& name, int index, const char* caption) {
        QAction* action = menu->addAction(QString::fromLatin1(caption));
        action->setObjectName(QStringLiteral("%1_%2").arg(name).arg(index));
        return action;
    };

    menuZindleChat = new QMenu(QStringLiteral("ZindleChat"), this);
    menuZindleChat->setObjectName(QStringLiteral("menuZindleChat"));
    mnuKleurenMenu = new QMenu(QStringLiteral("Kleuren"), this);
    mnuKleurenMenu->setObjectName(QStringLiteral("mnuKleuren"));
    const QString zc = QStringLiteral("mnuZindleChat");
    mnuZindleChat[0] = item(menuZindleChat, zc, 0, "Verbinding verbreken...");
    mnuZindleChat[1] = menuZindleChat->addSeparator();
    mnuZindleChat[2] = menuZindleChat->addMenu(mnuKleurenMenu);
    mnuZindleChat[2]->setObjectName(QStringLiteral("mnuZindleChat_2"));
    mnuZindleChat[3] = menuZindleChat->addSeparator();
    mnuZindleChat[4] = item(menuZindleChat, zc, 4, "Over ZindleChat...");
    mnuZindleChat[5] = item(menuZindleChat, zc, 5, "Afsluiten");
    for (int index : {0, 4, 5})
        connect(mnuZindleChat[std::size_t(index)], &QAction::triggered, this,
                [this, index] { mnuZindleChat_Click(index); });

    const QString kl = QStringLiteral("mnuKleuren");
    const char* colourItems[] = {"Achtergrond",    "Tekst",  "Nicknames",
                                 "Eigen nickname", "Acties", "Tijdstempel"};
    for (int index = 0; index < 6; ++index)
        mnuKleuren[std::size_t(index)] = item(mnuKleurenMenu, kl, index, colourItems[index]);
    mnuKleuren[6] = mnuKleurenMenu->addSeparator();
    mnuKleuren[7] = item(mnuKleurenMenu, kl, 7, "Standaardkleuren herstellen");
    for (int index : {0, 1, 2, 3, 4, 5, 7})
        connect(mnuKleuren[std::size_t(index)], &QAction::triggered, this,
                [this, index] { mnuKleuren_Click(index); });

    menuNicknames = new QMenu(QStringLiteral("Nicknames"), this);
    menuNicknames->setObjectName(QStringLiteral("menuNicknames"));
    const QString nn = QStringLiteral("mnuNicknames");
    mnuNicknames[0] = item(menuNicknames, nn, 0, "Privegesprek starten");
    mnuNicknames[1] = item(menuNicknames, nn, 1, "Bestand versturen");
    for (int index : {0, 1})
        connect(mnuNicknames[std::size_t(index)], &QAction::triggered, this,
                [this, index] { mnuNicknames_Click(index); });
}

void frmMain::ConnectSession() {
    connect(Session, &ClientSession::sessionStarted, this, &frmMain::Session_Started);
    connect(Session, &ClientSession::sessionClosed, this, &frmMain::Session_Closed);
    connect(Session, &ClientSession::output, this,
            [this](const QString& text) { transcript->AddOutput(text); });
    connect(Session, &ClientSession::captionChanged, this, &QWidget::setWindowTitle);
    connect(Session, &ClientSession::awayChanged, Toolbar1Buttons[3], &QAction::setChecked);
    connect(Session, &ClientSession::attentionRequested, this, [this] { QApplication::alert(this); });
    connect(Session, &ClientSession::userAdded, this, [this](int index, const QString& text, int id) {
        auto* entry = new QListWidgetItem(text);
        entry->setData(Qt::UserRole, id);
        lstNicknames->insertItem(index, entry);
    });
    connect(Session, &ClientSession::userChanged, this, [this](int index, const QString& text) {
        if (QListWidgetItem* entry = lstNicknames->item(index))
            entry->setText(text);
    });
    connect(Session, &ClientSession::userRemoved, this,
            [this](int index) { delete lstNicknames->takeItem(index); });
    connect(Session, &ClientSession::usersCleared, lstNicknames, &QListWidget::clear);
    connect(Session, &ClientSession::fileOffer, this, &frmMain::Session_FileOffer);
    Session->setPrivateMessageHandler(
        [this](int senderId, const QString& text) { return ShowPrivateMessage(senderId, text); });
}

void frmMain::Form_Load() {
    ApplyBoxColors();
}

void frmMain::ApplyBoxColors() {
    for (QWidget* box : {static_cast<QWidget*>(txtOutput), static_cast<QWidget*>(lstNicknames),
                         static_cast<QWidget*>(txtInput)})
        SetBoxColors(box, colors.Background, colors.Text);
}

void frmMain::SetColors(const ChatColors& newColors) {
    colors = newColors;
    ApplyBoxColors();
}

// --- session state -----------------------------------------------------------

QString frmMain::LocalNickname() const {
    return Session->LocalNickname();
}
void frmMain::SetLocalNickname(const QString& nickname) {
    Session->setLocalNickname(nickname);
}
void frmMain::SetPassword(const std::string& scrambled) {
    Session->setPassword(scrambled);
}
bool frmMain::Away() const {
    return Session->Away();
}
bool frmMain::InSession() const {
    return Session->state() == ClientSession::State::InSession;
}
void frmMain::SendData(std::string_view strData, bool SpecialPacket) {
    Session->SendData(strData, SpecialPacket);
}
void frmMain::SetAway() {
    Session->SetAway();
}

void frmMain::Session_Started() {
    if (ConnectDialog)
        ConnectDialog->ConnectionEstablished();
    show();
    txtInput->setEnabled(true);
    txtInput->setFocus();
}

void frmMain::Session_Closed() {
    txtInput->setEnabled(false);
    tmr_Disconnect->start();
}

// --- input line and keys -------------------------------------------------------

void frmMain::UpdateSendButton() {
    cmdDefault->setEnabled(!txtInput->text().isEmpty());
}

void frmMain::cmdDefault_Click() {
    RememberSentLine(txtInput);
    const InputCommand command = PublicInput(txtInput->text(), LocalNickname());
    if (command.kind == InputCommand::Kind::SetAway)
        SetAway();
    else if (command.kind == InputCommand::Kind::Send)
        SendData(command.strData, command.SpecialPacket);
    cmdDefault->setEnabled(false);
    txtInput->clear();
    txtInput->setFocus();
}

bool frmMain::txtInput_KeyDown(QKeyEvent* event) {
    // Only Ctrl, without Shift or Alt: the line edit's own Ctrl+A (select all) and
    // Ctrl+K (cut to the end) give way to the chat's meanings.
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (mods != Qt::ControlModifier)
        return false;
    if (event->key() == Qt::Key_A) {
        SetAway();
        return true;
    }
    if (event->key() == Qt::Key_K) {
        txtInput->insert(QString(QChar(0x01)));
        return true;
    }
    return false;
}

bool frmMain::txtOutput_KeyPress(QKeyEvent* event) {
    return MoveTypingToInput(event, txtInput);
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtInput) {
        if (event->type() == QEvent::ShortcutOverride) {
            auto* key = static_cast<QKeyEvent*>(event);
            if ((key->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier &&
                (key->key() == Qt::Key_A || key->key() == Qt::Key_K)) {
                event->accept();
                return true;
            }
        }
        if (event->type() == QEvent::KeyPress && txtInput_KeyDown(static_cast<QKeyEvent*>(event)))
            return true;
    } else if (watched == txtOutput) {
        if (event->type() == QEvent::KeyPress && txtOutput_KeyPress(static_cast<QKeyEvent*>(event)))
            return true;
    } else if (watched == lstNicknames->viewport()) {
        if (event->type() == QEvent::MouseButtonRelease)
            lstNicknames_MouseUp(static_cast<QMouseEvent*>(event));
    }
    return QWidget::eventFilter(watched, event);
}

// --- user list -----------------------------------------------------------------

bool frmMain::SelectedUser(int* id, QString* text) const {
    const QList<QListWidgetItem*> selected = lstNicknames->selectedItems();
    if (selected.isEmpty())
        return false;
    *id = selected.first()->data(Qt::UserRole).toInt();
    *text = selected.first()->text();
    return true;
}

void frmMain::lstNicknames_Click() {
    Toolbar1Buttons[5]->setEnabled(!lstNicknames->selectedItems().isEmpty());
}

void frmMain::lstNicknames_MouseUp(QMouseEvent* event) {
    if (event->button() != Qt::RightButton || lstNicknames->selectedItems().isEmpty())
        return;
    menuNicknames->popup(event->globalPosition().toPoint());
}

void frmMain::lstNicknames_DblClick() {
    lstNicknames_Click();
    int id = 0;
    QString text;
    if (!SelectedUser(&id, &text)) {
        txtInput->setFocus();
        return;
    }
    if (const int held = PrivateChats.find(id)) {
        frmMainPrivate* window = PrivateWindows[std::size_t(held)];
        if (window) {
            window->show();
            window->raise();
            window->activateWindow();
        }
        return;
    }
    const int slot = PrivateChats.allocate(id, Session->users().nicknameOf(id));
    if (slot == 0) {
        ShowTooManyChats();
        return;
    }
    frmMainPrivate* window = OpenPrivateWindow(slot, id, true);
    window->txtInput->setFocus();
}

void frmMain::ShowTooManyChats() {
    // Shown from inside the session's reading, so it must not wait for its answer;
    // one box at a time, however many messages find every slot held.
    if (tooManyBox && tooManyBox->isVisible())
        return;
    tooManyBox =
        prompts.notifyLater(this, QMessageBox::Critical, QStringLiteral("ZindleChat"), kTooManyChats);
}

frmMainPrivate* frmMain::OpenPrivateWindow(int slot, int userId, bool activate) {
    auto* window = new frmMainPrivate(*this);
    PrivateWindows[std::size_t(slot)] = window;
    if (activate) {
        window->show();
        window->activateWindow();
    } else {
        // The user may be typing elsewhere: the window appears as a minimised,
        // flashing entry and takes nothing from them.
        ShowMinimisedWithoutActivating(window);
    }
    window->OpenFor(userId, PrivateChats.slot(slot).Nickname);
    return window;
}

bool frmMain::ShowPrivateMessage(int userId, const QString& text) {
    int slot = PrivateChats.find(userId);
    if (slot == 0) {
        slot = PrivateChats.allocate(userId, Session->users().nicknameOf(userId));
        if (slot == 0) {
            ShowTooManyChats();
            return false;
        }
        OpenPrivateWindow(slot, userId, false);
    }
    frmMainPrivate* window = PrivateWindows[std::size_t(slot)];
    if (!window)
        return true;
    window->AddOutput(IncomingPrivateLine(PrivateChats.slot(slot).Nickname, text));
    comforts->privateMessageArrived(window, PrivateChats.slot(slot).Nickname, text);
    access->messageArrived(window);
    if (!Away())
        QApplication::alert(window);
    return true;
}

void frmMain::ClosePrivateWindows() {
    for (int slot = 1; slot <= client::PrivateChats::kSlots; ++slot) {
        if (PrivateChats.slot(slot).UserID == 0)
            continue;
        if (frmMainPrivate* window = PrivateWindows[std::size_t(slot)])
            window->close();
        PrivateWindows[std::size_t(slot)] = nullptr;
    }
    PrivateChats.releaseAll();
}

void frmMain::mnuNicknames_Click(int index) {
    if (index == 0) {
        lstNicknames_DblClick();
        return;
    }
    int id = 0;
    QString text;
    if (index == 1 && SelectedUser(&id, &text))
        FileShare(QString::number(id), text);
}

// --- files ---------------------------------------------------------------------

void frmMain::FileShare(const QString& sUserID, const QString& sUserName) {
    auto* window = new frmFileSend(
        [this](const std::string& strData, bool specialPacket) { SendData(strData, specialPacket); });
    if (FileDialogs)
        window->setDialogs(*FileDialogs);
    window->RemoteUserID = sUserID.trimmed().toInt();
    window->RemoteUser = sUserName;
    window->setWindowTitle(sUserName + QStringLiteral(" - ") + window->windowTitle());
    window->show();
}

void frmMain::Session_FileOffer(int remoteUserId, const QString& fileName, const QString& remoteIp,
                                const QString& remotePort, const QString& remoteUser) {
    if (frmFileReceive::OpenWindows() >= kMaxReceiveWindows) {
        RefuseOffer(remoteIp, remotePort.trimmed().toUShort());
        transcript->AddOutput(OfferRefusedLine(remoteUser));
        return;
    }
    auto* window = new frmFileReceive;
    if (FileDialogs)
        window->setDialogs(*FileDialogs);
    window->RemoteUserID = remoteUserId;
    window->FileName = fileName;
    window->RemoteIP = remoteIp;
    window->RemotePort = remotePort;
    window->RemoteUser = remoteUser;
    window->setWindowTitle(remoteUser + QStringLiteral(" - ") + window->windowTitle());
    ShowMinimisedWithoutActivating(window);
    QApplication::alert(window);
    comforts->fileOfferArrived(window, remoteUser, fileName);
    access->messageArrived(window);
    window->Start();
}

// --- toolbar and menus -----------------------------------------------------------

void frmMain::Toolbar1_ButtonClick(int index) {
    switch (index) {
    case 1:
        menuZindleChat->popup(QCursor::pos());
        break;
    case 3:
        SetAway();
        // The button shows the session's state, not the click.
        Toolbar1Buttons[3]->setChecked(Away());
        break;
    case 5: {
        int id = 0;
        QString text;
        if (SelectedUser(&id, &text))
            FileShare(QString::number(id), text);
        break;
    }
    default:
        break;
    }
}

void frmMain::mnuZindleChat_Click(int index) {
    switch (index) {
    case 0:
        // The countdown runs through at once: the user asked to leave. A session
        // that has already ended is not ended twice, only hurried.
        tmr_Disconnect->setInterval(1);
        if (Session->state() == ClientSession::State::Closed)
            tmr_Disconnect->start();
        Session->EndOnPurpose();
        break;
    case 4:
        prompts.showAbout(this, frmConnect::VersionCaption());
        break;
    case 5:
        close();
        break;
    default:
        break;
    }
}

void frmMain::mnuKleuren_Click(int index) {
    if (index == 7) {
        colors = ChatColors{};
        ApplyBoxColors();
        return;
    }
    qint64 ChatColors::*const variables[] = {&ChatColors::Background, &ChatColors::Text,
                                             &ChatColors::Nickname,   &ChatColors::LocalNickname,
                                             &ChatColors::Action,     &ChatColors::Timestamp};
    if (index < 0 || index > 5)
        return;
    qint64& variable = colors.*variables[index];
    const QColor chosen = prompts.pickColor(this, ColorFromInt(variable));
    if (chosen.isValid())
        variable = ColorToInt(chosen);
    // Only the boxes' own colours change; transcript text keeps the colours it
    // was written in and new lines pick up the rest.
    if (index <= 1)
        ApplyBoxColors();
}

// --- countdown ---------------------------------------------------------------------

void frmMain::SetCountdownTick(int ms) {
    countdownTick = ms;
    tmr_Disconnect->setInterval(ms);
}

void frmMain::tmr_Disconnect_Timer() {
    if (tmr_CountDown == 0)
        tmr_CountDown = 4;
    --tmr_CountDown;
    const QString caption = kCountdownCaption.arg(tmr_CountDown);
    setWindowTitle(caption);
    Session->setCaption(caption);
    if (tmr_CountDown >= 1)
        return;
    hide();
    ClosePrivateWindows();
    if (ConnectDialog)
        ConnectDialog->ShowAfterSession();
    transcript->clear();
    tmr_Disconnect->setInterval(countdownTick);
    tmr_Disconnect->stop();
}

// --- form events -------------------------------------------------------------------

void frmMain::closeEvent(QCloseEvent* event) {
    event->accept();
    if (unloading)
        return;
    unloading = true;
    Form_QueryUnload();
}

void frmMain::Form_QueryUnload() {
    if (ConnectDialog)
        ConnectDialog->SaveSettings();
    else
        SaveColors(colors);
    Winsock1->close();
    net::DoEvents();
    prompts.endProgram();
}

void frmMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

void frmMain::Form_Resize() {
    if (isMinimized())
        return;
    const int w = width(), h = height();
    const int toolbarHeight = Toolbar1->sizeHint().height();
    const int inputHeight =
        std::max(ui::TwipsToPixels(kInputHeightTwips, this), txtInput->sizeHint().height());
    if (w < ui::TwipsToPixels(kMinWidthTwips, this) ||
        h <= toolbarHeight + inputHeight + ui::TwipsToPixels(kMinSpareHeightTwips, this))
        return;
    const int listWidth = ui::TwipsToPixels(kListWidthTwips, this);
    const int buttonWidth = ui::TwipsToPixels(kSendButtonWidthTwips, this);
    const int middleHeight = h - toolbarHeight - inputHeight;
    Toolbar1->setGeometry(0, 0, w, toolbarHeight);
    lstNicknames->setGeometry(w - listWidth, toolbarHeight, listWidth, middleHeight);
    txtOutput->setGeometry(0, toolbarHeight, std::max(0, w - listWidth), middleHeight);
    txtInput->setGeometry(0, h - inputHeight, std::max(0, w - buttonWidth), inputHeight);
    cmdDefault->setGeometry(w - buttonWidth, h - inputHeight, buttonWidth, inputHeight);
}

} // namespace client
