// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/core/ServerSettings.h"

#include "net/SettingsStore.h"

#include <QRegularExpression>

namespace server {

namespace {
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

bool SaveServerSetting(const char* key, const QString& value) {
    return net::SaveSetting(kSettingsApplication, kSettingsSection, QString::fromLatin1(key), value);
}

QString ChatLogText(bool on) {
    return on ? QStringLiteral("-1") : QStringLiteral("0");
}

QString CheckText(bool on) {
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

ServerSettings ReadServerSettings() {
    return ReadServerSettings([](const QString& key, const QString& def) {
        return net::GetSetting(kSettingsApplication, kSettingsSection, key, def);
    });
}

ServerSettings ReadServerSettings(const std::function<QString(const QString&, const QString&)>& get) {
    using namespace settingkey;
    const auto Get = [&](const char* key, const QString& def = QString()) {
        return get(QString::fromLatin1(key), def);
    };
    ServerSettings s;
    s.ServerNaam = Get(kServerNaam);
    s.MOTD = Get(kMOTD);
    s.Port = Get(kPort, QStringLiteral("12345"));
    s.Password = Get(kPassword);
    s.PasswordEnabled = !s.Password.isEmpty();
    const QString chatLog = Get(kChatLog);
    s.ChatLogStored = !chatLog.isEmpty();
    s.ChatLog = s.ChatLogStored ? ChatLogFromText(chatLog) : true;
    s.chkDubbelIP = CheckFromText(Get(kDubbelIP));
    s.LoginTimeout = Get(kLoginTimeout);
    s.MaxPendingPerAddress = Get(kMaxPendingPerAddress);
    s.MaxUsersPerAddress = Get(kMaxUsersPerAddress);
    s.SendBudget = Get(kSendBudget);
    s.FloodLimit = Get(kFloodLimit);
    s.Log = Get(kLog);
    s.TlsCert = Get(kTlsCert);
    s.TlsKey = Get(kTlsKey);
    const QString tlsOnly = Get(kTlsOnly);
    s.TlsOnly = !tlsOnly.trimmed().isEmpty() && ChatLogFromText(tlsOnly); // "1", "-1", "true"
    static const QRegularExpression separators(QStringLiteral("[\\s,]+"));
    s.Listen = Get(kListen).split(separators, Qt::SkipEmptyParts);
    return s;
}

} // namespace server
