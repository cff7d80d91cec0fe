// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/ui/frmConnect.h"

#include "about/Logo.h"
#include "client/core/ChatColors.h"
#include "client/core/CommandLine.h"
#include "client/core/WireText.h"
#include "client/ui/Accessibility.h"
#include "client/ui/ConnectOptions.h"
#include "client/ui/Latin1Validator.h"
#include "client/ui/frmMain.h"
#include "common/ZindleVersion.h"
#include "net/Winsock.h"
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
    txtConnectTo = box("txtConnectTo", 20);
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

    connect(cmdJoin, &QPushButton::clicked, this, &frmConnect::cmdJoin_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmConnect::cmdClose_Click);
    connect(tmr_Connect, &QTimer::timeout, this, &frmConnect::tmr_Connect_Timer);
    MakeAccessible(*this);
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
    if (txtConnectTo->text().isEmpty())
        txtConnectTo->setText(kDefaultHost);
    if (txtConnectToPort->text().isEmpty())
        txtConnectToPort->setText(kDefaultPort);

    const CommandLine line = ParseCommandLine(commandLine);
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
}

void frmConnect::cmdJoin_Click() {
    const QString nickname = txtNickname->text();
    if (!CheckNickname(nickname))
        return;
    Main.SetLocalNickname(nickname);
    Main.SetPassword(ScramblePassword(txtPassword->text()));

    if (Joining) {
        Main.Winsock1->close();
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
    Main.Winsock1->connectToHost(host.trimmed(), port);
    tmr_Connect->start();
}

void frmConnect::tmr_Connect_Timer() {
    tmr_Connect->stop();
    cmdJoin_Click();
    lblStatus->setText(QStringLiteral("Timeout bij het verbinden..."));
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
