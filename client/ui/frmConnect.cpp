// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/ui/frmConnect.h"

#include "about/Logo.h"
#include "client/core/ChatColors.h"
#include "client/core/CommandLine.h"
#include "client/core/EncryptionChoice.h"
#include "client/core/HostText.h"
#include "client/core/Reconnector.h"
#include "client/core/ServerTrust.h"
#include "client/core/WireText.h"
#include "client/ui/Accessibility.h"
#include "client/ui/Comforts.h"
#include "client/ui/ConnectOptions.h"
#include "client/ui/Latin1Validator.h"
#include "client/ui/TrustPrompt.h"
#include "client/ui/frmMain.h"
#include "common/ZindleVersion.h"
#include "net/Winsock.h"
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <unistd.h>

namespace client {

namespace {
constexpr int kConnectTimeoutMs = 10000;
const QString kDefaultHost = QStringLiteral("127.0.0.1");
const QString kChatTitle = QStringLiteral("Chat");
} // namespace

frmConnect::frmConnect(frmMain& main, Prompts prompts, QWidget* parent)
    : QDialog(parent), Main(main), prompts(std::move(prompts)) {
    BuildControls();
    BuildTrust();
    BuildReconnect();
}

frmConnect::~frmConnect() = default;

QString frmConnect::VersionCaption() {
    return QStringLiteral("Client\r\n Versie ") +
           QString::fromStdString(ZindleVersion::DisplayVersion(
               ZindleVersion::kClientMajor, ZindleVersion::kClientMinor, ZindleVersion::kClientRevision));
}

void frmConnect::BuildControls() {
    setWindowTitle(QStringLiteral("ZindleChat"));
    setWindowIcon(about::LogoIcon());

    // The limits hold for typing only: the command line may bring longer values.
    auto box = [this](const char* name, int typedLimit) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(name));
        MakeLatin1(edit, typedLimit);
        return edit;
    };
    txtNickname = box("txtNickname", 20);
    txtPassword = box("txtPassword", 20);
    txtPassword->setEchoMode(QLineEdit::Password);
    txtPassword->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    txtConnectTo = box("txtConnectTo", kMaxHostLength);
    txtConnectToPort = box("txtConnectToPort", 7);

    cmdJoin = new QPushButton(QStringLiteral("Verbinden..."), this);
    cmdJoin->setObjectName(QStringLiteral("cmdJoin"));
    cmdJoin->setDefault(true);
    cmdJoin->setAutoDefault(true);
    cmdClose = new QPushButton(QStringLiteral("Sluiten"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setAutoDefault(false);

    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    // A long status (a long host name) wraps; the boxes set the dialog's width.
    lblStatus->setWordWrap(true);
    lblStatus->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    // Room for two lines from the start: a status that wraps moves no box.
    lblStatus->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblStatus->setText(QStringLiteral("x\nx"));
    lblStatus->setMinimumHeight(lblStatus->sizeHint().height());
    lblStatus->clear();
    lblVersie = new QLabel(VersionCaption(), this);
    lblVersie->setObjectName(QStringLiteral("lblVersie"));
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(about::Logo(64));
    lblVersie->installEventFilter(this);
    Image1->installEventFilter(this);

    tmr_Connect = new QTimer(this);
    tmr_Connect->setObjectName(QStringLiteral("tmr_Connect"));
    tmr_Connect->setInterval(kConnectTimeoutMs);

    auto* grid = new QGridLayout(this);
    grid->addWidget(Image1, 0, 0, 2, 1);
    grid->addWidget(lblVersie, 2, 0, 2, 1);
    int row = 0;
    for (auto [caption, edit] :
         {std::pair{"Nickname:", txtNickname}, std::pair{"Wachtwoord:", txtPassword},
          std::pair{"Verbinden met:", txtConnectTo}, std::pair{"Poort:", txtConnectToPort}}) {
        grid->addWidget(new QLabel(QString::fromLatin1(caption), this), row, 1);
        grid->addWidget(edit, row, 2);
        ++row;
    }
    chkTls = new QCheckBox(QStringLiteral("Versleuteld (TLS)"), this);
    chkTls->setObjectName(QStringLiteral("chkTls"));
    chkTls->setChecked(true);
    grid->addWidget(chkTls, row++, 2);
    grid->addWidget(new QLabel(QStringLiteral("Status:"), this), row, 1);
    grid->addWidget(lblStatus, row, 2);
    ++row;
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdJoin);
    buttons->addWidget(cmdClose);
    grid->addLayout(buttons, row, 0, 1, 3);

    setTabOrder(txtNickname, txtPassword);
    setTabOrder(txtPassword, txtConnectTo);
    setTabOrder(txtConnectTo, txtConnectToPort);

    connect(cmdJoin, &QPushButton::clicked, this, &frmConnect::cmdJoin_Pressed);
    connect(cmdClose, &QPushButton::clicked, this, &frmConnect::cmdClose_Click);
    connect(tmr_Connect, &QTimer::timeout, this, &frmConnect::tmr_Connect_Timer);
    MakeAccessible(*this);
}

void frmConnect::BuildReconnect() {
    Reconnect = new Reconnector(*Main.Session, this);
    Reconnect->setObjectName(QStringLiteral("Reconnect"));
    Reconnect->setEnabled(Main.Extras().isOn(Comfort::AutoReconnect));
    connect(&Main.Extras(), &Comforts::switched, this, [this](Comfort comfort, bool on) {
        if (comfort != Comfort::AutoReconnect)
            return;
        const bool wasWaiting = Reconnect->waiting();
        Reconnect->setEnabled(on);
        if (wasWaiting && isVisible() && !Joining) {
            cmdJoin->setText(QStringLiteral("Verbinden met host"));
            lblStatus->setText(QStringLiteral("Verbinding verbroken"));
        }
    });
    connect(Reconnect, &Reconnector::countdown, this, [this](int seconds) {
        cmdJoin->setText(QStringLiteral("Annuleren..."));
        lblStatus->setText(ReconnectSchedule::StatusText(seconds));
    });
    connect(Reconnect, &Reconnector::attemptDue, this, [this] {
        if (!Joining)
            cmdJoin_Click();
    });
}

void frmConnect::Form_Load(const QString& commandLine) {
    const ConnectOptions options = LoadConnectOptions();
    for (auto [edit, text] :
         {std::pair{txtNickname, options.Nickname}, std::pair{txtConnectTo, options.ConnectTo},
          std::pair{txtConnectToPort, options.ConnectToPort}}) {
        edit->setText(WireSafe(text));
        edit->selectAll();
    }
    Main.SetColors(LoadColors());
    chkTls->setChecked(LoadEncryptionChoice());
    if (txtConnectTo->text().isEmpty())
        txtConnectTo->setText(kDefaultHost);
    if (txtConnectToPort->text().isEmpty())
        txtConnectToPort->setText(kDefaultPort);

    const CommandLine line = ParseCommandLine(commandLine);
    if (line.plain)
        chkTls->setChecked(false); // this run only: the stored choice stays
    if (line.kind == CommandLine::Kind::Empty)
        return;
    if (line.kind == CommandLine::Kind::Help) {
        EchoSyntaxToTerminal(STDOUT_FILENO);
        prompts.notify(this, QMessageBox::Information, QStringLiteral("ZindleChat"), kCommandLineSyntax);
        close();
        return;
    }
    txtConnectTo->setText(line.host);
    txtConnectToPort->setText(line.port);
    if (line.hasPassword)
        txtPassword->setText(line.password);
    cmdJoin_Click();
}

bool frmConnect::CheckNickname(const QString& nickname) {
    QString problem;
    if (nickname.isEmpty())
        problem = QStringLiteral("Je moet een geldige nickname invullen.");
    else if (nickname.contains(QLatin1Char('#')))
        problem = QStringLiteral("Er mogen geen #-tekens voorkomen in nicknames.");
    else if (nickname.startsWith(QStringLiteral("\u00FF\u00FF")))
        // Two 0xFF bytes at the start would turn the user's own chat lines into
        // command messages.
        problem = QStringLiteral("Een nickname mag niet met twee \u00FF-tekens beginnen.");
    if (problem.isEmpty())
        return true;
    prompts.notify(this, QMessageBox::Information, kChatTitle, problem);
    return false;
}

bool frmConnect::CheckAddress(const QString& host, const QString& portText, quint16* port) {
    if (host.trimmed().isEmpty()) {
        lblStatus->setText(QStringLiteral("Vul een server in om mee te verbinden."));
        return false;
    }
    if (!ValidHost(host, nullptr)) {
        lblStatus->setText(
            QStringLiteral("Ongeldige server: vul een hostnaam (tot 253 tekens) of een IP-adres in."));
        return false;
    }
    bool ok = false;
    const QString digits = portText.trimmed();
    const int value = digits.toInt(&ok);
    const bool onlyDigits = !digits.isEmpty() && std::all_of(digits.begin(), digits.end(), [](QChar c) {
        return c.isDigit() && c.unicode() < 128;
    });
    if (!ok || !onlyDigits || value < 1 || value > 65535) {
        lblStatus->setText(QStringLiteral("Ongeldige poort: gebruik een getal van 1 tot en met 65535."));
        return false;
    }
    *port = quint16(value);
    return true;
}

void frmConnect::SetBoxesEnabled(bool enabled) {
    txtNickname->setEnabled(enabled);
    txtConnectTo->setEnabled(enabled);
    txtConnectToPort->setEnabled(enabled);
    chkTls->setEnabled(enabled);
}

void frmConnect::cmdJoin_Click() {
    const QString nickname = txtNickname->text();
    if (!CheckNickname(nickname))
        return;
    Main.SetLocalNickname(nickname);
    Main.SetPassword(ScramblePassword(txtPassword->text()));

    if (Joining) {
        Main.Winsock1->close();
        Trust->cancel();
        tmr_Connect->stop();
        SetBoxesEnabled(true);
        Joining = false;
        cmdJoin->setText(QStringLiteral("Verbinden..."));
        lblStatus->setText(QStringLiteral("Verbinding geannuleerd."));
        return;
    }

    const QString host = txtConnectTo->text();
    quint16 port = 0;
    if (!CheckAddress(host, txtConnectToPort->text(), &port))
        return;
    Joining = true;
    SetBoxesEnabled(false);
    lblStatus->setText(QStringLiteral("Bezig met verbinden naar ") + host + QStringLiteral("..."));
    cmdJoin->setText(QStringLiteral("Annuleren..."));
    Main.Winsock1->setLocalPort(0);
    QString target;
    ValidHost(host, &target);
    Main.Winsock1->setEncryption(chkTls->isChecked());
    Trust->setServer(target, port);
    Main.Winsock1->connectToHost(target, port);
    tmr_Connect->start();
}

void frmConnect::BuildTrust() {
    // Only a click keeps the choice: "--plain" unticks the box for one run.
    connect(chkTls, &QCheckBox::clicked, this, [](bool on) { SaveEncryptionChoice(on); });
    Trust = new ServerTrust(Main.Winsock1, this);
    TrustQuestions = new TrustPrompt(*Trust, this, prompts);
    // The user takes the time the question needs.
    connect(Trust, &ServerTrust::askTrust, tmr_Connect, &QTimer::stop);
    connect(Trust, &ServerTrust::attemptEnded, this, &frmConnect::AttemptEnded);
}

// The certificate was refused or the server speaks no TLS: back to the boxes.
void frmConnect::AttemptEnded(const QString& status) {
    tmr_Connect->stop();
    SetBoxesEnabled(true);
    Joining = false;
    cmdJoin->setText(QStringLiteral("Verbinden..."));
    lblStatus->setText(status);
}

// The user's press (button or Enter) ends whatever connecting goes on by itself.
void frmConnect::cmdJoin_Pressed() {
    const bool wasWaiting = Reconnect->waiting();
    Reconnect->stop();
    if (!wasWaiting) {
        cmdJoin_Click();
        return;
    }
    cmdJoin->setText(QStringLiteral("Verbinden met host"));
    lblStatus->setText(QStringLiteral("Verbinding verbroken"));
}

void frmConnect::tmr_Connect_Timer() {
    const bool attempt = Reconnect->attempting();
    tmr_Connect->stop();
    cmdJoin_Click();
    lblStatus->setText(QStringLiteral("Timeout bij het verbinden..."));
    if (attempt)
        Reconnect->attemptFailed();
}

void frmConnect::ConnectionEstablished() {
    tmr_Connect->stop();
    hide();
}

void frmConnect::ShowAfterSession() {
    cmdJoin->setEnabled(true);
    cmdJoin->setText(QStringLiteral("Verbinden met host"));
    SetBoxesEnabled(true);
    Joining = false;
    lblStatus->setText(QStringLiteral("Verbinding verbroken"));
    show();
    Reconnect->waitForNextAttempt();
}

void frmConnect::SaveSettings() const {
    SaveConnectOptions({txtNickname->text(), txtConnectTo->text(), txtConnectToPort->text()});
    SaveColors(Main.Colors());
}

void frmConnect::cmdClose_Click() {
    close();
}

void frmConnect::reject() {
    // Escape does not close this dialog; the close box and "Sluiten" do.
}

void frmConnect::closeEvent(QCloseEvent* event) {
    event->accept();
    if (unloading)
        return;
    unloading = true;
    Form_QueryUnload();
}

void frmConnect::Form_QueryUnload() {
    SaveSettings();
    Main.Winsock1->close();
    net::DoEvents();
    prompts.endProgram();
}

bool frmConnect::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == Image1 || watched == lblVersie) && event->type() == QEvent::MouseButtonDblClick) {
        prompts.showAbout(this, VersionCaption());
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace client
