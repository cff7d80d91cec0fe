// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The server's stored options (application "ZindleChatServer", section "Options"),
// read as the main window reads them at start-up. Reading writes nothing.
#include <QString>
#include <functional>

namespace server {

inline const QString kSettingsApplication = QStringLiteral("ZindleChatServer");
inline const QString kSettingsSection = QStringLiteral("Options");

struct ServerSettings {
    QString ServerNaam;
    QString MOTD;
    QString Port = QStringLiteral("12345");
    QString Password;             // plain text as stored
    bool PasswordEnabled = false; // a stored non-empty password checks chkPassword
    bool ChatLog = true;
    bool chkDubbelIP = false;
    bool ChatLogStored = false; // the store held a non-empty "ChatLog"
    // The limits as text (see LimitsText.h); empty: the default.
    QString LoginTimeout, MaxPendingPerAddress, SendBudget, FloodLimit;
    QString Log; // "all" or "events"
};

ServerSettings ReadServerSettings();
// The same over another source of values (a service's configuration file laid
// over the store): get(key, default) gives each key's text.
ServerSettings ReadServerSettings(const std::function<QString(const QString&, const QString&)>& get);

// "-1"/"0"/"True"/"False" and numbers; anything else counts as on (the default).
bool ChatLogFromText(const QString& text);
// Numeric value of the text, as a check box value: non-zero counts as checked.
bool CheckFromText(const QString& text);

} // namespace server
