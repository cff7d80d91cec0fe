// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The server's stored options (application "ZindleChatServer", section "Options"):
// their keys and encodings, read as the main window reads them at start-up
// (reading writes nothing) and written the way the window writes them.
#include <QString>
#include <QStringList>
#include <functional>

namespace server {

inline const QString kSettingsApplication = QStringLiteral("ZindleChatServer");
inline const QString kSettingsSection = QStringLiteral("Options");

// The keys of the store.
namespace settingkey {
inline constexpr const char* kServerNaam = "ServerNaam";
inline constexpr const char* kMOTD = "MOTD";
inline constexpr const char* kPort = "Port";
inline constexpr const char* kPassword = "Password";
inline constexpr const char* kChatLog = "ChatLog";
inline constexpr const char* kDubbelIP = "chkDubbelIP";
inline constexpr const char* kLoginTimeout = "LoginTimeout";
inline constexpr const char* kMaxPendingPerAddress = "MaxPendingPerAddress";
inline constexpr const char* kMaxUsersPerAddress = "MaxUsersPerAddress";
inline constexpr const char* kSendBudget = "SendBudget";
inline constexpr const char* kFloodLimit = "FloodLimit";
inline constexpr const char* kLog = "Log";
inline constexpr const char* kTlsCert = "TlsCert";
inline constexpr const char* kTlsKey = "TlsKey";
inline constexpr const char* kTlsOnly = "TlsOnly";
inline constexpr const char* kListen = "Listen";
} // namespace settingkey

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
    QString LoginTimeout, MaxPendingPerAddress, MaxUsersPerAddress, SendBudget, FloodLimit;
    QString Log;             // "all" or "events"
    QString TlsCert, TlsKey; // empty: the server's own certificate
    bool TlsOnly = false;
    // "Listen": IP addresses to listen on, separated by spaces or commas; none:
    // every address of both families.
    QStringList Listen;
};

ServerSettings ReadServerSettings();
// Writes one option; false when the store could not be written.
bool SaveServerSetting(const char* key, const QString& value);

// The encodings the window writes: "-1"/"0" for ChatLog, "1"/"0" for a check box.
QString ChatLogText(bool on);
QString CheckText(bool on);
// The same over another source of values (a service's configuration file laid
// over the store): get(key, default) gives each key's text.
ServerSettings ReadServerSettings(const std::function<QString(const QString&, const QString&)>& get);

// "-1"/"0"/"True"/"False" and numbers; anything else counts as on (the default).
bool ChatLogFromText(const QString& text);
// Numeric value of the text, as a check box value: non-zero counts as checked.
bool CheckFromText(const QString& text);

} // namespace server
