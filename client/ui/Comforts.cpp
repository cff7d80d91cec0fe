// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/ui/Comforts.h"

#include "client/core/ClientSession.h"
#include "client/core/ConversationLogger.h"
#include "client/core/LinkSpans.h"
#include "client/core/Mentions.h"
#include "client/core/TranscriptWriter.h"
#include "client/core/WireText.h"
#include "client/ui/ConversationExtras.h"
#include "client/ui/NotificationRouter.h"
#include "client/ui/TrustedServers.h"
#include "client/ui/frmMain.h"
#include "net/Winsock.h"
#include <QAction>
#include <QDesktopServices>
#include <QMenu>
#include <QWidget>

namespace client {

Comforts::Comforts(frmMain& main)
    : main_(main), settings_(ComfortSettings::Load()),
      urlOpener_([](const QUrl& url) { QDesktopServices::openUrl(url); }) {
    setObjectName(QStringLiteral("Comforts"));
    SetUnicode(isOn(Comfort::Unicode));
    BuildMenu();

    logger_ = new ConversationLogger(this);
    connect(logger_, &ConversationLogger::failed, this, &Comforts::loggingFailed);
    connect(main.Session, &ClientSession::sessionStarted, this, [this] {
        logger_->setServer(main_.Winsock1->remoteHostIP() + QLatin1Char('_') +
                           QString::number(main_.Winsock1->remotePort()));
    });

    notifications_ = new NotificationRouter(this);
    connect(main.Session, &ClientSession::output, this, &Comforts::publicLine);

    mainExtras_ = attach(&main, main.txtOutput, main.txtInput, main.Transcript(), [] { return QString(); });
}

Comforts::~Comforts() = default;

void Comforts::BuildMenu() {
    mnuVoorkeurenMenu = new QMenu(QStringLiteral("Voorkeuren"), &main_);
    mnuVoorkeurenMenu->setObjectName(QStringLiteral("mnuVoorkeuren"));
    for (int i = 0; i < kComfortCount; ++i) {
        const auto comfort = Comfort(i);
        QAction* item = mnuVoorkeurenMenu->addAction(QString::fromUtf8(InfoOf(comfort).caption));
        item->setObjectName(QStringLiteral("mnuVoorkeuren_%1").arg(i));
        item->setCheckable(true);
        item->setChecked(isOn(comfort));
        connect(item, &QAction::toggled, this, [this, comfort](bool on) { setOn(comfort, on); });
        mnuVoorkeuren[std::size_t(i)] = item;
    }
    mnuVoorkeurenMenu->addSeparator();
    QAction* pins = mnuVoorkeurenMenu->addAction(QStringLiteral("Vertrouwde servers..."));
    pins->setObjectName(QStringLiteral("mnuVertrouwdeServers"));
    connect(pins, &QAction::triggered, this, &Comforts::showTrustedServers);
    // Under "Kleuren", before the separator that leads to "Over ZindleChat...".
    main_.menuZindleChat->insertMenu(main_.mnuZindleChat[3], mnuVoorkeurenMenu);
}

// One window, brought forward when it is open already.
void Comforts::showTrustedServers() {
    if (!dlgTrustedServers) {
        dlgTrustedServers = new TrustedServers(&main_);
        dlgTrustedServers->setAttribute(Qt::WA_DeleteOnClose);
    }
    dlgTrustedServers->show();
    dlgTrustedServers->raise();
    dlgTrustedServers->activateWindow();
}

void Comforts::setOn(Comfort comfort, bool on) {
    QAction* item = mnuVoorkeuren[std::size_t(comfort)];
    if (item->isChecked() != on) {
        item->setChecked(on); // comes back here through toggled
        return;
    }
    if (isOn(comfort) == on)
        return;
    settings_.set(comfort, on);
    ComfortSettings::Save(comfort, on);
    if (comfort == Comfort::ConversationLogs && on)
        logger_->resume();
    if (comfort == Comfort::Unicode)
        SetUnicode(on);
    for (const auto& window : extras_)
        if (window)
            window->switched();
    emit switched(comfort, on);
}

ConversationExtras* Comforts::attach(QWidget* window, QTextEdit* txtOutput, QLineEdit* txtInput,
                                     TranscriptWriter& transcript, std::function<QString()> partner) {
    auto* extras = new ConversationExtras(*this, window, txtOutput, txtInput, transcript, std::move(partner));
    extras_.removeAll(nullptr);
    extras_.append(extras);
    return extras;
}

QStringList Comforts::nicknames() const {
    QStringList names;
    for (const UserEntry& entry : main_.Session->users().entries())
        names.append(entry.text);
    return names;
}

void Comforts::openUrl(const QUrl& url) {
    if (isOn(Comfort::Links) && url.isValid())
        urlOpener_(OpenableUrl(url));
}

void Comforts::logLine(const QString& partner, const QString& strData) {
    if (isOn(Comfort::ConversationLogs))
        logger_->log(partner, strData);
}

void Comforts::loggingFailed(const QString& path) {
    // Logging stops; the chat goes on and says so once.
    setOn(Comfort::ConversationLogs, false);
    main_.Transcript().AddOutput(
        QStringLiteral("**GESPREKKEN WORDEN NIET MEER OPGESLAGEN: %1 IS NIET TE SCHRIJVEN**\r\n").arg(path));
}

void Comforts::publicLine(const QString& line) {
    if (!isOn(Comfort::Notifications) || main_.isActiveWindow())
        return;
    if (const auto mention = FindMention(line, main_.LocalNickname()))
        notifications_->notify(&main_, QString(), mention->speaker + QStringLiteral(" noemde je naam"),
                               mention->text);
}

void Comforts::privateMessageArrived(QWidget* window, const QString& nickname, const QString& text) {
    if (isOn(Comfort::Notifications) && !window->isActiveWindow())
        notifications_->notify(window, QStringLiteral("prive:") + nickname,
                               QStringLiteral("Privebericht van ") + nickname, text.trimmed());
}

void Comforts::fileOfferArrived(QWidget* window, const QString& remoteUser, const QString& fileName) {
    if (isOn(Comfort::Notifications))
        notifications_->notify(window, QStringLiteral("bestand:") + remoteUser,
                               remoteUser + QStringLiteral(" wil je een bestand sturen"), fileName);
}

} // namespace client
