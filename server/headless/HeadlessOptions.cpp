// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/headless/HeadlessOptions.h"

#include "common/ZindleVersion.h"

namespace server {

namespace {
bool TakesValue(const QString& flag) {
    return flag == u"--port" || flag == u"--password" || flag == u"--name" || flag == u"--motd" ||
           flag == u"--chat-log";
}
} // namespace

bool ValidPort(const QString& text) {
    bool ok = false;
    const uint port = text.toUInt(&ok, 10);
    return ok && !text.isEmpty() && text.front().isDigit() && port >= 1 && port <= 65535;
}

HeadlessOptions ParseHeadlessOptions(const QStringList& args) {
    HeadlessOptions o;
    for (int i = 0; i < args.size() && o.error.isEmpty(); ++i) {
        QString flag = args[i];
        std::optional<QString> value;
        const qsizetype eq = flag.indexOf(u'=');
        if (flag.startsWith(u"--") && eq > 2) {
            value = flag.mid(eq + 1);
            flag = flag.left(eq);
        }
        if (TakesValue(flag) && !value) {
            if (i + 1 >= args.size()) {
                o.error = QStringLiteral("%1 verwacht een waarde").arg(flag);
                break;
            }
            value = args[++i];
        } else if (!TakesValue(flag) && value) {
            o.error = QStringLiteral("%1 neemt geen waarde").arg(flag);
            break;
        }

        if (flag == u"--headless") {
        } else if (flag == u"--help" || flag == u"-h") {
            o.help = true;
        } else if (flag == u"--version") {
            o.version = true;
        } else if (flag == u"--no-duplicate-ip") {
            o.noDuplicateIp = true;
        } else if (flag == u"--port") {
            if (!ValidPort(*value))
                o.error = QStringLiteral("Ongeldige poort \"%1\": kies een getal van 1 tot en met 65535")
                              .arg(*value);
            o.port = value;
        } else if (flag == u"--password") {
            o.password = value;
        } else if (flag == u"--name") {
            o.name = value;
        } else if (flag == u"--motd") {
            o.motd = ExpandLineBreaks(*value);
        } else if (flag == u"--chat-log") {
            if (*value == u"on")
                o.chatLog = true;
            else if (*value == u"off")
                o.chatLog = false;
            else
                o.error = QStringLiteral("--chat-log verwacht on of off, niet \"%1\"").arg(*value);
        } else {
            o.error = QStringLiteral("Onbekende optie: %1 (zie --help)").arg(flag);
        }
    }
    return o;
}

QString ExpandLineBreaks(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\\' && i + 1 < text.size()) {
            if (text[i + 1] == u'n') {
                out += QStringLiteral("\r\n");
                ++i;
                continue;
            }
            if (text[i + 1] == u'\\') {
                out += u'\\';
                ++i;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

QString HeadlessVersionText() {
    return QStringLiteral("ZindleChat Server versie ") +
           QString::fromStdString(ZindleVersion::DisplayVersion(
               ZindleVersion::kServerMajor, ZindleVersion::kServerMinor, ZindleVersion::kServerRevision)) +
           u'\n';
}

QString HeadlessHelpText() {
    return QStringLiteral(
        "Gebruik: ZindleChatServer [--headless [opties]] | --help | --version\n"
        "\n"
        "Zonder opties opent het serverprogramma zijn venster. Met --headless draait de\n"
        "server zonder venster: hij leest de opgeslagen instellingen, begint meteen te\n"
        "luisteren en schrijft elke logregel \"[hh:mm:ss] TEKST\" naar de standaarduitvoer.\n"
        "Opties gelden alleen voor deze keer; er wordt niets opgeslagen.\n"
        "\n"
        "  --port N             poort 1..65535 (anders de opgeslagen poort, standaard 12345)\n"
        "  --password TEKST     wachtwoord van de kamer (\"\" voor geen)\n"
        "  --name TEKST         naam van de server\n"
        "  --motd TEKST         bericht van de dag; \\n staat voor een nieuwe regel, \\\\ voor \\\n"
        "  --no-duplicate-ip    dubbele IP's niet toestaan\n"
        "  --chat-log on|off    chatregels en privéberichten wel of niet loggen\n"
        "  --help               deze tekst\n"
        "  --version            versie van het programma\n"
        "\n"
        "Commando's op de standaardinvoer, één per regel:\n"
        "  users                ingelogde gebruikers (nummer#nickname)\n"
        "  info N               gegevens van gebruiker N\n"
        "  kick N               gebruiker N kicken\n"
        "  ban N                gebruiker N bannen (en elke verbinding van zijn adres)\n"
        "  bans                 de banlijst\n"
        "  unban ADRES          ADRES van de banlijst halen\n"
        "  clearbans            de banlijst legen\n"
        "  name TEKST           servernaam opslaan (gaat naar iedereen als hij verandert)\n"
        "  motd TEKST           bericht van de dag opslaan (idem; \\n is een nieuwe regel)\n"
        "  stop | start         de server stoppen of weer starten\n"
        "  quit                 stoppen en afsluiten\n"
        "  help                 deze commando's\n"
        "\n"
        "Einde van de invoer stopt de server niet; SIGINT en SIGTERM stoppen hem netjes.\n");
}

} // namespace server
