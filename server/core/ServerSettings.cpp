// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/core/ServerSettings.h"

#include "net/SettingsStore.h"

namespace server {

namespace {
QString Get(const QString& key, const QString& def = QString()) {
    return net::GetSetting(kSettingsApplication, kSettingsSection, key, def);
}

// The number at the start of the text after leading blanks, as the store's
// readers have always taken it ("1x" is 1, "x" is 0).
long LeadingNumber(const QString& text) {
    const QString t = text.trimmed();
    int i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == u'-' || t[i] == u'+')) {
        negative = t[i] == u'-';
        ++i;
    }
    long value = 0;
    for (; i < t.size() && t[i].isDigit() && value < 1000000; ++i)
        value = value * 10 + t[i].digitValue();
    return negative ? -value : value;
}
} // namespace

bool ChatLogFromText(const QString& text) {
    const QString t = text.trimmed();
    if (t.compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QStringLiteral("false"), Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const double value = t.toDouble(&ok);
    if (ok)
        return value != 0;
    return true;
}

bool CheckFromText(const QString& text) {
    return LeadingNumber(text) != 0;
}

ServerSettings ReadServerSettings() {
    return ReadServerSettings(Get);
}

ServerSettings ReadServerSettings(const std::function<QString(const QString&, const QString&)>& get) {
    const auto Get = [&](const QString& key, const QString& def = QString()) { return get(key, def); };
    ServerSettings s;
    s.ServerNaam = Get(QStringLiteral("ServerNaam"));
    s.MOTD = Get(QStringLiteral("MOTD"));
    s.Port = Get(QStringLiteral("Port"), QStringLiteral("12345"));
    s.Password = Get(QStringLiteral("Password"));
    s.PasswordEnabled = !s.Password.isEmpty();
    const QString chatLog = Get(QStringLiteral("ChatLog"));
    s.ChatLogStored = !chatLog.isEmpty();
    s.ChatLog = s.ChatLogStored ? ChatLogFromText(chatLog) : true;
    s.chkDubbelIP = CheckFromText(Get(QStringLiteral("chkDubbelIP")));
    s.LoginTimeout = Get(QStringLiteral("LoginTimeout"));
    s.MaxPendingPerAddress = Get(QStringLiteral("MaxPendingPerAddress"));
    s.SendBudget = Get(QStringLiteral("SendBudget"));
    s.FloodLimit = Get(QStringLiteral("FloodLimit"));
    s.Log = Get(QStringLiteral("Log"));
    return s;
}

} // namespace server
