// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/headless/RoomConfig.h"

#include "net/PeerAddress.h"
#include "net/SettingsStore.h"
#include "server/core/LimitsText.h"
#include "server/core/ServerCore.h"
#include "server/core/ServerSettings.h"
#include "server/headless/ConfigFile.h"

#include <QFile>
#include <QHash>
#include <QSettings>

namespace server {

namespace {

// A store that exists must be readable: a service that silently ran on the
// defaults instead of its settings is worse than one that does not start.
bool CheckStore(QString* error) {
    const QString path = net::SettingsFilePath(kSettingsApplication);
    QFile file(path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly)) {
        *error =
            QStringLiteral("Kan het instellingenbestand \"%1\" niet lezen: %2").arg(path, file.errorString());
        return false;
    }
    QSettings store(path, QSettings::IniFormat);
    if (store.status() != QSettings::NoError) {
        *error = QStringLiteral("Het instellingenbestand \"%1\" is geen geldig INI-bestand").arg(path);
        return false;
    }
    return true;
}

// Parses text into *target when it is given and reads; otherwise target keeps
// its value and a non-empty text that does not read is named.
// An empty text means the default.
template <typename T, typename Parse>
void Take(const QString& key, const QString& text, Parse parse, T fallback, T* target,
          QStringList* warnings) {
    if (text.isEmpty()) {
        *target = fallback;
        return;
    }
    T parsed{};
    if (parse(text, &parsed))
        *target = parsed;
    else
        *warnings << QStringLiteral("%1 \"%2\" is ongeldig, de vorige waarde blijft").arg(key, text);
}

QString YesNo(bool on) {
    return on ? QStringLiteral("aan") : QStringLiteral("uit");
}

} // namespace

bool LoadRoomConfig(const RoomConfigSources& sources, const RoomConfig& base, RoomConfig* out, QString* error,
                    QStringList* warnings) {
    if (!CheckStore(error))
        return false;
    QHash<QString, QString> file;
    if (!sources.configPath.isEmpty() && (sources.configRequired || QFile::exists(sources.configPath)) &&
        !ReadConfigFile(sources.configPath, &file, error))
        return false;
    const ServerSettings s = ReadServerSettings([&](const QString& key, const QString& def) {
        return file.contains(key) ? file.value(key)
                                  : net::GetSetting(kSettingsApplication, kSettingsSection, key, def);
    });

    RoomConfig c = base;
    c.port = s.Port;
    c.password = s.PasswordEnabled ? s.Password : QString();
    c.name = s.ServerNaam;
    // In the configuration file "\n" starts a new line, as with --motd.
    c.motd = file.contains(QStringLiteral("MOTD")) ? ExpandLineBreaks(s.MOTD) : s.MOTD;
    c.chatLog = s.ChatLog;
    c.dubbelIP = s.chkDubbelIP;
    const RoomConfig defaults;
    Take(QStringLiteral("LoginTimeout"), s.LoginTimeout, ParseLoginTimeout,
         defaults.limits.loginTimeoutSeconds, &c.limits.loginTimeoutSeconds, warnings);
    Take(QStringLiteral("MaxPendingPerAddress"), s.MaxPendingPerAddress, ParseMaxPending,
         defaults.limits.maxPendingPerAddress, &c.limits.maxPendingPerAddress, warnings);
    Take(QStringLiteral("MaxUsersPerAddress"), s.MaxUsersPerAddress, ParseMaxPending,
         defaults.limits.maxUsersPerAddress, &c.limits.maxUsersPerAddress, warnings);
    Take(QStringLiteral("SendBudget"), s.SendBudget, ParseSendBudget, defaults.limits.sendBudgetBytes,
         &c.limits.sendBudgetBytes, warnings);
    if (s.FloodLimit.isEmpty()) {
        c.limits.floodRate = defaults.limits.floodRate;
        c.limits.floodBurst = defaults.limits.floodBurst;
    } else if (!ParseFloodLimit(s.FloodLimit, &c.limits.floodRate, &c.limits.floodBurst)) {
        *warnings
            << QStringLiteral("FloodLimit \"%1\" is ongeldig, de vorige waarde blijft").arg(s.FloodLimit);
    }
    Take(QStringLiteral("Log"), s.Log, ParseLogLevel, defaults.logAll, &c.logAll, warnings);
    c.tlsCert = s.TlsCert;
    c.tlsKey = s.TlsKey;
    c.tlsOnly = s.TlsOnly;
    c.listen = s.Listen;

    const HeadlessOptions& o = sources.options;
    c.port = o.port.value_or(c.port);
    c.password = o.password.value_or(c.password);
    if (o.passwordFile && !ReadPasswordFile(*o.passwordFile, &c.password, error))
        return false;
    c.name = o.name.value_or(c.name);
    c.motd = o.motd.value_or(c.motd);
    c.chatLog = o.chatLog.value_or(c.chatLog);
    c.dubbelIP = o.noDuplicateIp || c.dubbelIP;
    c.logAll = o.logAll.value_or(c.logAll);
    c.limits.loginTimeoutSeconds = o.loginTimeout.value_or(c.limits.loginTimeoutSeconds);
    c.limits.maxPendingPerAddress = o.maxPendingPerAddress.value_or(c.limits.maxPendingPerAddress);
    c.limits.maxUsersPerAddress = o.maxUsersPerAddress.value_or(c.limits.maxUsersPerAddress);
    c.limits.sendBudgetBytes = o.sendBudget.value_or(c.limits.sendBudgetBytes);
    c.tlsCert = o.tlsCert.value_or(c.tlsCert);
    c.tlsKey = o.tlsKey.value_or(c.tlsKey);
    c.tlsOnly = o.tlsOnly || c.tlsOnly;
    if (!o.listen.isEmpty())
        c.listen = o.listen;
    c.limits.floodRate = o.floodRate.value_or(c.limits.floodRate);
    c.limits.floodBurst = o.floodBurst.value_or(c.limits.floodBurst);
    *out = c;
    return true;
}

void ApplyAtStart(ServerCore& core, const RoomConfig& c) {
    core.setLimits(c.limits);
    core.setLogMessages(c.logAll);
    core.setServerNaam(c.name);
    core.setMOTD(c.motd);
    core.setRoomPassword(c.password);
    core.setChatLog(c.chatLog);
    core.setDubbelIP(c.dubbelIP);
    core.setTlsFiles(c.tlsCert, c.tlsKey);
    core.setTlsOnly(c.tlsOnly);
    core.setListenAddresses(c.listen);
}

QStringList ApplyOnReload(ServerCore& core, const RoomConfig& before, const RoomConfig& after) {
    QStringList changed;
    if (after.name != before.name || after.motd != before.motd) {
        core.SaveMOTD(after.name, after.motd);
        if (after.name != before.name)
            changed << QStringLiteral("naam \"%1\"").arg(after.name);
        if (after.motd != before.motd)
            changed << QStringLiteral("bericht van de dag");
    }
    if (after.password != before.password) {
        core.ApplyRoomPassword(after.password);
        changed << (after.password.isEmpty() ? QStringLiteral("wachtwoord verwijderd")
                                             : QStringLiteral("wachtwoord gewijzigd"));
    }
    if (after.chatLog != before.chatLog) {
        core.setChatLog(after.chatLog);
        changed << QStringLiteral("chatlog %1").arg(YesNo(after.chatLog));
    }
    if (after.dubbelIP != before.dubbelIP) {
        core.setDubbelIP(after.dubbelIP);
        changed << QStringLiteral("dubbele IP's weigeren %1").arg(YesNo(after.dubbelIP));
    }
    if (after.logAll != before.logAll) {
        core.setLogMessages(after.logAll);
        changed << QStringLiteral("log %1").arg(after.logAll ? QStringLiteral("all")
                                                             : QStringLiteral("events"));
    }
    const ServerLimits& a = after.limits;
    const ServerLimits& b = before.limits;
    if (a.loginTimeoutSeconds != b.loginTimeoutSeconds || a.maxPendingPerAddress != b.maxPendingPerAddress ||
        a.maxUsersPerAddress != b.maxUsersPerAddress || a.sendBudgetBytes != b.sendBudgetBytes ||
        a.floodRate != b.floodRate || a.floodBurst != b.floodBurst) {
        core.setLimits(a);
        changed << QStringLiteral("grenzen");
    }
    if (after.tlsCert != before.tlsCert || after.tlsKey != before.tlsKey) {
        core.setTlsFiles(after.tlsCert, after.tlsKey); // loaded with the certificate below
        changed << QStringLiteral("certificaatbestanden");
    }
    if (after.tlsOnly != before.tlsOnly) {
        core.setTlsOnly(after.tlsOnly);
        changed << QStringLiteral("alleen TLS %1").arg(YesNo(after.tlsOnly));
    }
    if (after.listen != before.listen)
        changed << QStringLiteral("adressen %1 (geldt na een herstart)")
                       .arg(after.listen.isEmpty() ? QStringLiteral("alle") : after.listen.join(u' '));
    if (after.port != before.port)
        changed << QStringLiteral("poort %1 (geldt na een herstart)").arg(after.port);
    return changed;
}

QString StartLine(const ServerCore& core, const RoomConfig& config) {
    // Without addresses the listener takes every address of both families.
    QStringList bound;
    for (const QString& address : config.listen)
        bound << QStringLiteral("%1:%2")
                     .arg(QString::fromStdString(net::HostForPort(address.toStdString())))
                     .arg(core.ListeningPort());
    const QString addresses = bound.isEmpty() ? QStringLiteral("[::]:%1").arg(core.ListeningPort())
                                              : bound.join(QStringLiteral(", "));
    return QStringLiteral("STATUS [0] Luistert op %1, kamer \"%2\", wachtwoord: %3")
        .arg(addresses, core.ServerNaam(),
             config.password.isEmpty() ? QStringLiteral("nee") : QStringLiteral("ja"));
}

} // namespace server
