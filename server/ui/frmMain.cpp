// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/ui/frmMain.h"

#include "about/ScreenUnits.h"
#include "about/frmAbout.h"
#include "common/ZindleVersion.h"
#include "net/SettingsStore.h"
#include "net/Winsock.h"
#include "server/core/LimitsText.h"
#include "server/core/ServerCore.h"
#include "server/core/ServerSettings.h"
#include "server/ui/SysTray.h"
#include "server/ui/WindowAccessibility.h"
#include "server/ui/frmLog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>

namespace server {

namespace {
// Window height and the places of the left-hand controls, in twips.
constexpr int kWindowHeightTwips = 7080;
constexpr int kVersionTopTwips = 5640;
constexpr int kImageWidthTwips = 1935;
constexpr int kImageHeightTwips = 1215;
} // namespace

frmMain::frmMain(ServerCore& serverCore, QWidget* parent) : QMainWindow(parent), core(serverCore) {
    setObjectName("frmMain");
    setWindowTitle("ZindleChat Server");
    setWindowIcon(about::LogoIcon());
    ShowAboutWindow = about::ShowAbout;
    EndProgram = [] { QCoreApplication::quit(); };
    sysTray = new SysTray(this);
    CreateControls();
    CreateUserArea();
    CreateTrayMenu();
    Form_Load();
    ConnectHandlers();
    MakeAccessible(*this);
}

frmMain::~frmMain() = default;

void frmMain::setTrayAvailabilityCheck(std::function<bool()> check) {
    sysTray->setAvailabilityCheck(std::move(check));
}

bool frmMain::Listening() const {
    return core.Listening();
}

QString frmMain::TrayTip() {
    return QString("ZindleChat Server v%1.%2 #%3")
        .arg(ZindleVersion::kServerMajor)
        .arg(ZindleVersion::kServerMinor)
        .arg(ZindleVersion::kServerRevision, 4, 10, QChar('0'));
}

QString frmMain::InfoCaption() {
    using namespace ZindleVersion;
    return "Server\n Versie " +
           QString::fromStdString(DisplayVersion(kServerMajor, kServerMinor, kServerRevision));
}

void frmMain::Place(QWidget* w, int left, int top, int width, int height) {
    w->setGeometry(ui::TwipsToPixels(left, this), ui::TwipsToPixels(top, this),
                   ui::TwipsToPixels(width, this), ui::TwipsToPixels(height, this));
}

namespace {
QLabel* Caption(QWidget* parent, const QString& text) {
    return new QLabel(text, parent);
}
template <class W> W* Named(W* w, const char* name) {
    w->setObjectName(name);
    return w;
}
} // namespace

void frmMain::CreateControls() {
    auto* client = new QWidget(this);
    setCentralWidget(client);

    frSettings = Named(new QGroupBox("Serverinstellingen", client), "frSettings");
    Place(frSettings, 120, 60, 6615, 4935);
    Place(Caption(frSettings, "Servernaam:"), 120, 330, 1250, 255);
    txtServerNaam = Named(new QLineEdit(frSettings), "txtServerNaam");
    Place(txtServerNaam, 1440, 300, 5040, 315);
    Place(Caption(frSettings, "MOTD:"), 120, 690, 1250, 255);
    txtMOTD = Named(new QPlainTextEdit(frSettings), "txtMOTD");
    txtMOTD->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtMOTD->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtMOTD->setLineWrapMode(QPlainTextEdit::NoWrap);
    Place(txtMOTD, 1440, 660, 5040, 1215);
    cmdSaveMOTD = Named(new QPushButton("&Opslaan", frSettings), "cmdSaveMOTD");
    Place(cmdSaveMOTD, 1440, 1935, 1215, 345);
    cmdCancelMOTD = Named(new QPushButton("&Annuleer", frSettings), "cmdCancelMOTD");
    Place(cmdCancelMOTD, 2760, 1935, 1215, 345);
    Place(Caption(frSettings, "Poort:"), 120, 2400, 1250, 255);
    txtPort = Named(new QLineEdit("12345", frSettings), "txtPort");
    Place(txtPort, 1440, 2370, 1215, 315);
    Place(Caption(frSettings, "Wachtwoord:"), 120, 2790, 1250, 255);
    chkPassword = Named(new QCheckBox(frSettings), "chkPassword");
    Place(chkPassword, 1440, 2760, 300, 315);
    txtPassword = Named(new QLineEdit(frSettings), "txtPassword");
    txtPassword->setEchoMode(QLineEdit::Password);
    // "*" for every character, whatever the style would draw.
    txtPassword->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    Place(txtPassword, 1800, 2760, 2520, 315);
    chkDubbelIP = Named(new QCheckBox("Dubbele IP's niet toestaan", frSettings), "chkDubbelIP");
    Place(chkDubbelIP, 1440, 3150, 5040, 315);
    Place(Caption(frSettings, "IP Adres:"), 120, 3570, 1250, 255);
    lblLocalIP = Named(new QLabel(frSettings), "lblLocalIP");
    Place(lblLocalIP, 1440, 3570, 5040, 255);
    Place(Caption(frSettings, "Hostnaam:"), 120, 3930, 1250, 255);
    lblLocalHost = Named(new QLabel(frSettings), "lblLocalHost");
    Place(lblLocalHost, 1440, 3930, 5040, 255);
    AddTlsRow(4290);

    cmdServerStart = Named(new QPushButton("&Server starten...", client), "cmdServerStart");
    Place(cmdServerStart, 120, 5100, 2295, 405);
    cmdLog = Named(new QPushButton("&Logvenster", client), "cmdLog");
    Place(cmdLog, 2520, 5100, 2055, 405);
    cmdClose = Named(new QPushButton("Sl&uiten", client), "cmdClose");
    Place(cmdClose, 4680, 5100, 2055, 405);

    Image1 = Named(new QLabel(client), "Image1");
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setPixmap(about::Logo(ui::TwipsToPixels(kImageHeightTwips, this)));
    Image1->installEventFilter(this);
    lblInfo = Named(new QLabel(InfoCaption(), client), "lblInfo");
    lblInfo->installEventFilter(this);
    PlaceVersionArea();
}

void frmMain::CreateUserArea() {
    QWidget* client = centralWidget();
    const int left = kStoppedWidthTwips + 30, top = 60, width = 3300, height = 4740;

    frGebruikersLijst = Named(new QGroupBox("Gebruikers", client), "frGebruikersLijst");
    Place(frGebruikersLijst, left, top, width, height);
    lstGebruikers = Named(new QListWidget(frGebruikersLijst), "lstGebruikers");
    Place(lstGebruikers, 120, 300, 3060, 2760);
    cmdKick = Named(new QPushButton("Kick", frGebruikersLijst), "cmdKick");
    Place(cmdKick, 120, 3180, 1470, 375);
    cmdBan = Named(new QPushButton("Ban", frGebruikersLijst), "cmdBan");
    Place(cmdBan, 1710, 3180, 1470, 375);
    cmdInfo = Named(new QPushButton("Info", frGebruikersLijst), "cmdInfo");
    Place(cmdInfo, 120, 3660, 1470, 375);
    cmdCopyIP = Named(new QPushButton("IP Kopieren", frGebruikersLijst), "cmdCopyIP");
    Place(cmdCopyIP, 1710, 3660, 1470, 375);
    cmdBanList = Named(new QPushButton("Banlijst", frGebruikersLijst), "cmdBanList");
    Place(cmdBanList, 120, 4140, 3060, 375);

    frBanlijst = Named(new QGroupBox("Gebruikers > Banlijst", client), "frBanlijst");
    Place(frBanlijst, left, top, width, height);
    lstBanlist = Named(new QListWidget(frBanlijst), "lstBanlist");
    Place(lstBanlist, 120, 300, 3060, 2760);
    cmdBanWis = Named(new QPushButton("Ban wissen", frBanlijst), "cmdBanWis");
    Place(cmdBanWis, 120, 3180, 1470, 375);
    cmdBanEmpty = Named(new QPushButton("Lijst legen", frBanlijst), "cmdBanEmpty");
    Place(cmdBanEmpty, 1710, 3180, 1470, 375);
    cmdCloseBanList = Named(new QPushButton("Sluiten", frBanlijst), "cmdCloseBanList");
    Place(cmdCloseBanList, 120, 3660, 3060, 375);

    // The two frames share one place; the user list starts in front.
    frBanlijst->hide();
}

void frmMain::CreateTrayMenu() {
    menuSysTray = Named(new QMenu("Systray", this), "menuSysTray");
    const char* captions[6] = {"Weergeven", "-", "Server Starten", "Server Stoppen", "-", "Afsluiten"};
    for (int i = 0; i < 6; ++i) {
        SystrayItems[i] =
            captions[i][0] == '-' ? menuSysTray->addSeparator() : menuSysTray->addAction(captions[i]);
        SystrayItems[i]->setObjectName(QString("mnuSystray%1").arg(i));
    }
}

QAction* frmMain::mnuSystray(int index) const {
    return index >= 0 && index < 6 ? SystrayItems[index] : nullptr;
}

void frmMain::ConnectHandlers() {
    connect(cmdServerStart, &QPushButton::clicked, this, &frmMain::cmdServerStart_Click);
    connect(cmdLog, &QPushButton::clicked, this, &frmMain::cmdLog_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmMain::cmdClose_Click);
    connect(cmdKick, &QPushButton::clicked, this, &frmMain::cmdKick_Click);
    connect(cmdBan, &QPushButton::clicked, this, &frmMain::cmdBan_Click);
    connect(cmdInfo, &QPushButton::clicked, this, &frmMain::cmdInfo_Click);
    connect(cmdCopyIP, &QPushButton::clicked, this, &frmMain::cmdCopyIP_Click);
    connect(cmdBanList, &QPushButton::clicked, this, &frmMain::cmdBanList_Click);
    connect(cmdCloseBanList, &QPushButton::clicked, this, &frmMain::cmdCloseBanList_Click);
    connect(cmdBanEmpty, &QPushButton::clicked, this, &frmMain::cmdBanEmpty_Click);
    connect(cmdBanWis, &QPushButton::clicked, this, &frmMain::cmdBanWis_Click);
    connect(txtServerNaam, &QLineEdit::textChanged, this, &frmMain::txtServerNaam_Change);
    connect(txtMOTD, &QPlainTextEdit::textChanged, this, &frmMain::txtMOTD_Change);
    connect(cmdSaveMOTD, &QPushButton::clicked, this, &frmMain::cmdSaveMOTD_Click);
    connect(cmdCancelMOTD, &QPushButton::clicked, this, &frmMain::cmdCancelMOTD_Click);
    connect(chkDubbelIP, &QCheckBox::toggled, &core, &ServerCore::setDubbelIP);
    for (int i : {0, 2, 3, 5})
        connect(SystrayItems[i], &QAction::triggered, this, [this, i] { mnuSystray_Click(i); });
    connect(sysTray, &SysTray::LButtonDblClick, this, &frmMain::SysTrayLButtonDblClick);
    connect(sysTray, &SysTray::RButtonDown, this, &frmMain::SysTrayRButtonDown);
    connect(&core, &ServerCore::listeningChanged, this, &frmMain::ShowListeningState);
    connect(&core, &ServerCore::userListChanged, this, &frmMain::ShowUserList);
    connect(&core, &ServerCore::banListChanged, this, &frmMain::ShowBanList);
    connect(&core, &ServerCore::chatLogChanged, this, &frmMain::ShowChatLog);
    connect(Log.get(), &frmLog::ChatLogToggleRequested, this, [this] { core.setChatLog(!core.ChatLog()); });
}

// ---- start-up

void frmMain::Form_Load() {
    SetOuterWidthTwips(kStoppedWidthTwips);
    resize(width(), ui::TwipsToPixels(kWindowHeightTwips, this));
    lblInfo->setText(InfoCaption());

    const ServerSettings settings = ReadServerSettings();
    txtServerNaam->setText(settings.ServerNaam);
    core.setServerNaam(settings.ServerNaam);
    setMotdBoxText(settings.MOTD);
    core.setMOTD(MotdBoxText());
    txtPort->setText(settings.Port);
    txtPassword->setText(settings.Password);
    chkPassword->setChecked(settings.PasswordEnabled);

    if (!settings.ChatLogStored)
        SaveServerSetting(settingkey::kChatLog, ChatLogText(true));
    chkDubbelIP->setChecked(settings.chkDubbelIP);
    core.setDubbelIP(settings.chkDubbelIP);
    core.setChatLog(settings.ChatLog);
    core.setLimits(LimitsFromSettings(settings));
    core.setListenAddresses(settings.Listen);
    bool logAll = true; // the window shows every message unless told otherwise
    ParseLogLevel(settings.Log, &logAll);
    core.setLogMessages(logAll);
    Log = std::make_unique<frmLog>(core.Log());
    Log->setChatLogChecked(core.ChatLog());

    lblLocalIP->setText(net::Winsock::localIP());
    lblLocalHost->setText(net::Winsock::localHostName());

    ShowEditButtons(false);
    ShowListeningState();
    EnableTls(settings);
    core.LogProgramStarted();
}

// ---- start and stop

void frmMain::cmdServerStart_Click() {
    if (!core.Listening()) {
        ShowEditButtons(false);
        core.setServerNaam(txtServerNaam->text());
        core.setMOTD(MotdBoxText());
        core.setRoomPassword(chkPassword->isChecked() ? txtPassword->text() : QString());
        core.setDubbelIP(chkDubbelIP->isChecked());
        QString error;
        if (!core.StartServer(txtPort->text(), &error))
            MsgBox(this, QMessageBox::Critical, "ZindleChat", error, QMessageBox::Ok);
    } else {
        if (MsgBox(this, QMessageBox::Question, "ZindleChat",
                   "De server staat nog aan, weet u zeker dat u deze wilt stoppen?",
                   QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
            return;
        core.StopServer();
    }
    ShowListeningState();
}

// The state table of start and stop: captions, enabled controls, tray menu, width.
void frmMain::ShowListeningState() {
    const bool running = core.Listening();
    for (QWidget* w : std::initializer_list<QWidget*>{txtPort, txtPassword, chkPassword, chkDubbelIP})
        w->setEnabled(!running);
    cmdServerStart->setText(running ? "&Server stoppen..." : "&Server starten...");
    SystrayItems[2]->setEnabled(!running);
    SystrayItems[3]->setEnabled(running);
    if (!running)
        lstGebruikers->clear();
    if (!isMinimized() && !isMaximized() && !isFullScreen())
        Form_Resize();
}

// ---- width rule

int frmMain::OuterWidthTwips() const {
    return ui::PixelsToTwips(frameGeometry().width(), this);
}

// The width is fixed (the window manager then offers only the height to the
// user); the decoration is measured each time, since it is known only once shown.
void frmMain::SetOuterWidthTwips(int twips) {
    const int client = ui::TwipsToPixels(twips, this) - (frameGeometry().width() - width());
    if (width() != client || minimumWidth() != client || maximumWidth() != client)
        setFixedWidth(client);
}

void frmMain::PlaceVersionArea() {
    const int imageWidth = ui::TwipsToPixels(kImageWidthTwips, this);
    const int imageLeft = core.Listening() ? (centralWidget()->width() - imageWidth) / 2 : 0;
    const int top = ui::TwipsToPixels(kVersionTopTwips, this);
    Image1->setGeometry(imageLeft, top, imageWidth, ui::TwipsToPixels(kImageHeightTwips, this));
    lblInfo->setGeometry(imageLeft + ui::TwipsToPixels(kInfoOffsetTwips, this),
                         top + ui::TwipsToPixels(240, this), ui::TwipsToPixels(3000, this),
                         ui::TwipsToPixels(600, this));
}

void frmMain::Form_Resize() {
    if (isMinimized()) {
        GoToTray();
        return;
    }
    if (isMaximized() || isFullScreen())
        return;
    SetOuterWidthTwips(core.Listening() ? kRunningWidthTwips : kStoppedWidthTwips);
    PlaceVersionArea();
}

void frmMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

void frmMain::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized())
        // Hide once the platform has finished minimising.
        QMetaObject::invokeMethod(this, &frmMain::Form_Resize, Qt::QueuedConnection);
}

// ---- shutdown

bool frmMain::Form_QueryUnload() {
    if (core.Listening() && MsgBox(this, QMessageBox::Question, "ZindleChat",
                                   "De server staat nog aan, weet u zeker dat u af wilt sluiten?",
                                   QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return false;
    SaveSettings();
    sysTray->RemoveTrayIcon();
    Log->hide();
    if (EndProgram)
        EndProgram();
    return true;
}

void frmMain::SaveSettings() {
    bool saved = true;
    auto save = [&saved](const char* key, const QString& value) {
        saved = SaveServerSetting(key, value) && saved;
    };
    using namespace settingkey;
    save(kServerNaam, txtServerNaam->text());
    save(kPort, txtPort->text());
    save(kPassword, chkPassword->isChecked() ? txtPassword->text() : QString());
    save(kMOTD, MotdBoxText());
    save(kChatLog, ChatLogText(core.ChatLog()));
    save(kDubbelIP, CheckText(chkDubbelIP->isChecked()));
    if (!saved)
        MsgBox(this, QMessageBox::Warning, "ZindleChat",
               QStringLiteral("De instellingen konden niet worden opgeslagen in %1.")
                   .arg(net::SettingsFilePath(kSettingsApplication)),
               QMessageBox::Ok);
}

void frmMain::closeEvent(QCloseEvent* event) {
    if (!Form_QueryUnload())
        event->ignore();
}

void frmMain::cmdClose_Click() {
    close();
}

// ---- log and About

void frmMain::cmdLog_Click() {
    Log->show();
    Log->raise();
    Log->SyncNow();
}

void frmMain::ShowChatLog(bool on) {
    Log->setChatLogChecked(on);
}

void frmMain::Image1_DblClick() {
    if (ShowAboutWindow)
        ShowAboutWindow(this, lblInfo->text());
}

void frmMain::lblInfo_DblClick() {
    Image1_DblClick();
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick) {
        if (watched == Image1) {
            Image1_DblClick();
            return true;
        }
        if (watched == lblInfo) {
            lblInfo_DblClick();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace server
