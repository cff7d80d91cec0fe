// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The conveniences beyond plain chatting, for the main window and every private
// window: their switches (the "Voorkeuren" menu under "Opties", kept in the
// settings store), the conversation log and the desktop notifications.
#include "client/core/ComfortSettings.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QUrl>
#include <array>
#include <functional>

class QAction;
class QLineEdit;
class QMenu;
class QTextEdit;
class QWidget;

namespace client {

class ConversationExtras;
class ConversationLogger;
class NotificationRouter;
class TranscriptWriter;
class TrustedServers;
class frmMain;

class Comforts : public QObject {
    Q_OBJECT
public:
    explicit Comforts(frmMain& main);
    ~Comforts() override;

    bool isOn(Comfort comfort) const { return settings_.isOn(comfort); }
    // The menu's handling: switches, keeps the choice, tells every window.
    void setOn(Comfort comfort, bool on);

    // Gives a conversation window its extras; `partner` gives the private partner's
    // nickname, "" for the room.
    ConversationExtras* attach(QWidget* window, QTextEdit* txtOutput, QLineEdit* txtInput,
                               TranscriptWriter& transcript, std::function<QString()> partner);
    ConversationExtras* mainExtras() const { return mainExtras_; }

    // The users present, for nickname completion.
    QStringList nicknames() const;
    // Opens a link in the desktop's browser or mail program.
    void openUrl(const QUrl& url);
    void setUrlOpener(std::function<void(const QUrl&)> opener) { urlOpener_ = std::move(opener); }

    // A line shown in a conversation: into the log when logging is on.
    void logLine(const QString& partner, const QString& strData);
    ConversationLogger& logger() { return *logger_; }

    // What the windows report that may deserve a desktop notification.
    void privateMessageArrived(QWidget* window, const QString& nickname, const QString& text);
    void fileOfferArrived(QWidget* window, const QString& remoteUser, const QString& fileName);
    NotificationRouter& notifications() { return *notifications_; }

    // "Vertrouwde servers...": the pinned server certificates.
    void showTrustedServers();
    QPointer<TrustedServers> dlgTrustedServers;

signals:
    // A switch changed (after the windows were told).
    void switched(client::Comfort comfort, bool on);

public:
    QMenu* mnuVoorkeurenMenu = nullptr;
    std::array<QAction*, kComfortCount> mnuVoorkeuren{};

private:
    void BuildMenu();
    void publicLine(const QString& line);
    void loggingFailed(const QString& path);

    frmMain& main_;
    ComfortSettings settings_;
    ConversationExtras* mainExtras_ = nullptr;
    QList<QPointer<ConversationExtras>> extras_;
    std::function<void(const QUrl&)> urlOpener_;
    ConversationLogger* logger_ = nullptr;
    NotificationRouter* notifications_ = nullptr;
};

} // namespace client
