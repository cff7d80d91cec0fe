// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/headless/HeadlessOptions.h"

#include "common/ZindleVersion.h"
#include "net/PeerAddress.h"
#include "server/core/LimitsText.h"

#include <QFile>

namespace server {

namespace {
bool TakesValue(const QString& flag) {
    static const QStringList valued = {
        QStringLiteral("--port"),          QStringLiteral("--password"),
        QStringLiteral("--name"),          QStringLiteral("--motd"),
        QStringLiteral("--chat-log"),      QStringLiteral("--password-file"),
        QStringLiteral("--login-timeout"), QStringLiteral("--max-pending-per-address"),
        QStringLiteral("--send-budget"),   QStringLiteral("--flood-limit"),
        QStringLiteral("--log"),           QStringLiteral("--config"),
        QStringLiteral("--ban-file"),      QStringLiteral("--control"),
        QStringLiteral("--control-group"), QStringLiteral("--max-users-per-address"),
        QStringLiteral("--tls-cert"),      QStringLiteral("--tls-key"),
        QStringLiteral("--listen")};
    return valued.contains(flag);
}
// Reads value with parse into target, or says what the flag expects.
template <typename T, typename Parse>
void TakeValue(HeadlessOptions& o, const QString& flag, const QString& value, Parse parse,
               std::optional<T>& target, const char* expects) {
    T parsed{};
    if (parse(value, &parsed))
        target = parsed;
    else
        o.error = QStringLiteral("%1 verwacht %2, niet \"%3\"").arg(flag, QString::fromUtf8(expects), value);
}
} // namespace

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
                o.error = InvalidPortReason(*value);
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
        } else if (flag == u"--password-file") {
            o.passwordFile = value;
        } else if (flag == u"--login-timeout") {
            TakeValue(o, flag, *value, ParseLoginTimeout, o.loginTimeout, "een aantal seconden");
        } else if (flag == u"--max-pending-per-address") {
            TakeValue(o, flag, *value, ParseMaxPending, o.maxPendingPerAddress, "een aantal");
        } else if (flag == u"--max-users-per-address") {
            TakeValue(o, flag, *value, ParseMaxPending, o.maxUsersPerAddress, "een aantal");
        } else if (flag == u"--send-budget") {
            TakeValue(o, flag, *value, ParseSendBudget, o.sendBudget, "een aantal MiB");
        } else if (flag == u"--flood-limit") {
            double rate = 0;
            int burst = 0;
            if (ParseFloodLimit(*value, &rate, &burst)) {
                o.floodRate = rate;
                o.floodBurst = burst;
            } else {
                o.error = QStringLiteral("--flood-limit verwacht R of R/B, niet \"%1\"").arg(*value);
            }
        } else if (flag == u"--tls-cert") {
            o.tlsCert = value;
        } else if (flag == u"--tls-key") {
            o.tlsKey = value;
        } else if (flag == u"--tls-only") {
            o.tlsOnly = true;
        } else if (flag == u"--listen") {
            if (!net::PeerAddress::Parse(value->toStdString()))
                o.error = QStringLiteral("--listen verwacht een IP-adres, niet \"%1\"").arg(*value);
            o.listen << *value;
        } else if (flag == u"--log") {
            TakeValue(o, flag, *value, ParseLogLevel, o.logAll, "all of events");
        } else if (flag == u"--config") {
            o.config = value;
        } else if (flag == u"--ban-file") {
            o.banFile = value;
        } else if (flag == u"--control") {
            o.control = value;
        } else if (flag == u"--control-group") {
            o.controlGroup = value;
        } else {
            o.error = QStringLiteral("Onbekende optie: %1 (zie --help)").arg(flag);
        }
    }
    return o;
}

bool ReadPasswordFile(const QString& path, QString* password, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error =
            QStringLiteral("Kan het wachtwoordbestand \"%1\" niet lezen: %2").arg(path, file.errorString());
        return false;
    }
    QByteArray line = file.read(64 * 1024);
    const qsizetype end = line.indexOf('\n');
    if (end >= 0)
        line.truncate(end);
    if (line.endsWith('\r'))
        line.chop(1);
    *password = QString::fromLocal8Bit(line);
    return true;
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

QString HeadlessHelpText(bool daemon) {
    const QString intro =
        daemon ? QStringLiteral(
                     "Gebruik: zindlechatd [opties] | --help | --version\n"
                     "\n"
                     "De server als dienst, zonder venster: hij leest de opgeslagen instellingen,\n"
                     "begint meteen te luisteren en schrijft elke logregel \"[hh:mm:ss] TEKST\" naar de\n"
                     "standaarduitvoer. Opties gelden alleen voor deze keer; er wordt niets opgeslagen.\n")
               : QStringLiteral(
                     "Gebruik: ZindleChatServer [--headless [opties]] | --help | --version\n"
                     "\n"
                     "Zonder opties opent het serverprogramma zijn venster. Met --headless draait de\n"
                     "server zonder venster: hij leest de opgeslagen instellingen, begint meteen te\n"
                     "luisteren en schrijft elke logregel \"[hh:mm:ss] TEKST\" naar de standaarduitvoer.\n"
                     "Opties gelden alleen voor deze keer; er wordt niets opgeslagen.\n");
    return intro +
           QStringLiteral(
               "\n"
               "  --port N             poort 1..65535 (anders de opgeslagen poort, standaard 12345)\n"
               "  --listen ADRES       alleen op dit IP-adres luisteren (IPv4 of IPv6, zoals ::1 of\n"
               "                       192.0.2.1); mag vaker; anders op alle adressen van beide\n"
               "                       families (instelling Listen)\n"
               "  --password TEKST     wachtwoord van de kamer (\"\" voor geen)\n"
               "  --name TEKST         naam van de server\n"
               "  --motd TEKST         bericht van de dag; \\n staat voor een nieuwe regel, \\\\ voor \\\n"
               "  --no-duplicate-ip    dubbele IP's niet toestaan\n"
               "  --chat-log on|off    chatregels en privéberichten wel of niet loggen\n"
               "  --password-file PAD  wachtwoord van de kamer uit de eerste regel van PAD\n"
               "                       (beter dan --password, dat in de proceslijst staat)\n"
               "  --log all|events     all: elk bericht dat binnenkomt of uitgaat (\" IN <-\",\n"
               "                       \"UIT ->\"), zoals het venster; events (standaard): alleen\n"
               "                       gebeurtenissen en chatregels\n"
               "  --config PAD         instellingen uit het INI-bestand PAD (de dienst leest\n"
               "                       standaard /etc/zindlechat-server/zindlechat-server.conf)\n"
               "  --ban-file PAD       de banlijst in PAD bewaren, zodat hij een herstart overleeft\n"
               "  --control PAD        besturingssocket PAD voor zindlechatctl (de dienst:\n"
               "                       $RUNTIME_DIRECTORY/control)\n"
               "  --control-group GROEP\n"
               "                       leden van GROEP mogen de besturingssocket ook gebruiken\n"
               "\n"
               "Versleuteling (TLS op dezelfde poort, naast onversleuteld):\n"
               "  --tls-cert PAD       certificaat (PEM, met de keten erachter); zonder deze\n"
               "                       optie maakt de server bij de eerste start een eigen\n"
               "                       certificaat naast zijn instellingen\n"
               "  --tls-key PAD        sleutel (PEM) bij --tls-cert (anders uit PAD van --tls-cert)\n"
               "  --tls-only           onversleutelde verbindingen meteen sluiten\n"
               "Ook als instelling: TlsCert, TlsKey, TlsOnly. SIGHUP laadt het certificaat opnieuw.\n"
               "\n"
               "Grenzen (0 zet een grens uit):\n"
               "  --login-timeout S    wie niet binnen S seconden inlogt, wordt verbroken (30)\n"
               "  --max-pending-per-address N\n"
               "                       verbindingen per adres die op hun login wachten (64);\n"
               "                       daarboven maakt de oudste plaats voor de nieuwe\n"
               "  --max-users-per-address N\n"
               "                       ingelogde gebruikers per adres (0: geen grens, standaard)\n"
               "  --send-budget MIB    onverzonden gegevens van de hele server samen (256);\n"
               "                       daarboven wacht de server met lezen en vallen clients\n"
               "                       die niet meer lezen\n"
               "  --flood-limit R[/B]  regels per seconde per gebruiker, met uitschieters tot\n"
               "                       B (50/200); daarboven wacht de server met lezen\n"
               "Dezelfde grenzen gelden ook als instelling (LoginTimeout, MaxPendingPerAddress,\n"
               "MaxUsersPerAddress, SendBudget, FloodLimit, Log); de opties gaan voor.\n"
               "\n"
               "  --help               deze tekst\n"
               "  --version            versie van het programma\n"
               "\n"
               "Commando's op de standaardinvoer, één per regel:\n"
               "  users                ingelogde gebruikers (nummer#nickname)\n"
               "  info N               gegevens van gebruiker N\n"
               "  kick N               gebruiker N kicken\n"
               "  ban N                gebruiker N bannen (en elke verbinding van zijn adres)\n"
               "  ban ADRES[/LENGTE]   een adres of adresbereik bannen: 192.0.2.7, 192.0.2.0/24,\n"
               "                       2001:db8::1, 2001:db8:1:2::/64\n"
               "  bans                 de banlijst\n"
               "  unban ADRES          ADRES van de banlijst halen\n"
               "  clearbans            de banlijst legen\n"
               "  name TEKST           servernaam opslaan (gaat naar iedereen als hij verandert)\n"
               "  motd TEKST           bericht van de dag opslaan (idem; \\n is een nieuwe regel)\n"
               "  fingerprint          vingerafdruk (SHA-256) van het TLS-certificaat\n"
               "  reload               het TLS-certificaat opnieuw laden (vernieuwd certificaat)\n"
               "  stop | start         de server stoppen of weer starten\n"
               "  quit                 stoppen en afsluiten\n"
               "  help                 deze commando's\n"
               "\n"
               "Einde van de invoer stopt de server niet; SIGINT en SIGTERM stoppen hem netjes,\n"
               "SIGHUP leest de instellingen en het wachtwoordbestand opnieuw.\n"
               "Wordt de uitvoer niet gelezen, dan gaat de server door en slaat hij logregels\n"
               "over; hoeveel, meldt hij zodra de uitvoer weer gelezen wordt.\n");
}

} // namespace server
