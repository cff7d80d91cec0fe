// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/headless/ConsoleCommands.h"

#include "net/PeerAddress.h"
#include "server/core/ServerCore.h"
#include "server/headless/HeadlessOptions.h"

namespace server {

namespace {
// An address or a range has a dot, a colon or a slash; a user number has none.
bool LooksLikeAddress(const QString& arg) {
    return arg.contains(u'.') || arg.contains(u':') || arg.contains(u'/');
}
} // namespace

int ConsoleCommands::SlotArgument(const QString& arg, QString& err) const {
    bool ok = false;
    const int slot = arg.toInt(&ok, 10);
    if (!ok || slot < 1 || slot > ServerCore::kMaxSlot) {
        err += QStringLiteral("Geen gebruikersnummer: \"%1\"\n").arg(arg);
        return -1;
    }
    if (!core_.IsInUse(slot)) {
        err += QStringLiteral("Geen verbinding met nummer %1\n").arg(slot);
        return -1;
    }
    return slot;
}

ConsoleCommands::Result ConsoleCommands::Execute(const QString& rawLine, QString& out, QString& err) {
    QString line = rawLine;
    while (line.endsWith(u'\r') || line.endsWith(u'\n'))
        line.chop(1);
    const QString trimmed = line.trimmed();
    if (trimmed.isEmpty())
        return Result::Continue;
    const qsizetype space = trimmed.indexOf(u' ');
    const QString command = space < 0 ? trimmed : trimmed.left(space);
    // The text of name/motd is taken as typed after one separating blank.
    const qsizetype at = line.indexOf(command) + command.size();
    const QString text = at < line.size() ? line.mid(at + 1) : QString();
    const QString arg = text.trimmed();

    if (command == u"users") {
        const QStringList entries = core_.UserListEntries();
        for (const QString& e : entries)
            out += e + u'\n';
        out += QStringLiteral("%1 gebruiker(s) ingelogd, %2 verbinding(en)\n")
                   .arg(entries.size())
                   .arg(core_.ConnectionCount());
    } else if (command == u"ban" && LooksLikeAddress(arg)) {
        const auto entry = net::AddressPrefix::Parse(arg.toStdString());
        if (!entry) {
            err += QStringLiteral("Geen adres of adresbereik: \"%1\"\n").arg(arg);
            return Result::Continue;
        }
        const QString text = QString::fromStdString(entry->Text());
        core_.AddBan(text);
        out += QStringLiteral("%1 op de banlijst gezet\n").arg(text);
    } else if (command == u"info" || command == u"kick" || command == u"ban") {
        const int slot = SlotArgument(arg, err);
        if (slot < 0)
            return Result::Continue;
        if (command == u"info")
            out += QString(core_.UserInfoText(slot)).replace(QStringLiteral("\r\n"), QStringLiteral("\n")) +
                   (core_.RemoteHost(slot).isEmpty() ? QStringLiteral("\n") : QString());
        else if (command == u"kick")
            core_.Kick(slot);
        else
            core_.Ban(slot);
    } else if (command == u"bans") {
        const QStringList bans = core_.BanList();
        for (const QString& ip : bans)
            out += ip + u'\n';
        out += QStringLiteral("%1 adres(sen) op de banlijst\n").arg(bans.size());
    } else if (command == u"unban") {
        if (arg.isEmpty()) {
            err += QStringLiteral("unban verwacht een adres\n");
            return Result::Continue;
        }
        int removed = core_.RemoveBanAddress(arg);
        if (const auto entry = net::AddressPrefix::Parse(arg.toStdString()); removed == 0 && entry)
            removed = core_.RemoveBanAddress(QString::fromStdString(entry->Text()));
        if (removed == 0)
            err += QStringLiteral("%1 staat niet op de banlijst\n").arg(arg);
        else
            out += QStringLiteral("%1 van de banlijst gehaald\n").arg(arg);
    } else if (command == u"clearbans") {
        core_.ClearBans();
        out += QStringLiteral("Banlijst geleegd\n");
    } else if (command == u"name") {
        core_.SaveMOTD(text, core_.MOTD());
    } else if (command == u"motd") {
        core_.SaveMOTD(core_.ServerNaam(), ExpandLineBreaks(text));
    } else if (command == u"stop") {
        if (!core_.Listening())
            err += QStringLiteral("De server is al gestopt\n");
        core_.StopServer();
    } else if (command == u"start") {
        QString error;
        if (core_.Listening())
            err += QStringLiteral("De server draait al\n");
        else if (!core_.StartServer(portText_, &error))
            err += error + u'\n';
    } else if (command == u"fingerprint") {
        if (core_.TlsFingerprint().isEmpty())
            err += QStringLiteral("TLS staat uit\n");
        else
            out += core_.TlsFingerprint() + u'\n';
    } else if (command == u"reload") {
        QString error;
        if (core_.ReloadTls(&error))
            out += QStringLiteral("Certificaat opnieuw geladen\n");
        else
            err += QStringLiteral("Certificaat niet opnieuw geladen: %1\n").arg(error);
    } else if (command == u"quit") {
        core_.StopServer();
        return Result::Quit;
    } else if (command == u"help") {
        out += HeadlessHelpText();
    } else {
        err += QStringLiteral("Onbekend commando: %1 (typ help)\n").arg(command);
    }
    return Result::Continue;
}

} // namespace server
