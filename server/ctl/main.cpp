// SPDX-License-Identifier: GPL-3.0-or-later
// zindlechatctl [--socket PATH] COMMAND [ARGUMENT...]: one console command
// (users, info N, kick N, ban N, bans, unban ADDRESS, ...) to a running server,
// its answer printed. Exit status 0: done; 1: the server reported a mistake;
// 2: wrong use; 3: no answer (no server, no access).
#include "server/ctl/ControlClient.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

namespace {

constexpr const char* kDefaultSocket = "/run/zindlechat-server/control";

const char* const kUsage =
    "Gebruik: zindlechatctl [--socket PAD] COMMANDO [ARGUMENT...]\n"
    "\n"
    "Stuurt een consolecommando naar de draaiende ZindleChat-server en toont het antwoord.\n"
    "Commando's: users, info N, kick N, ban N, bans, unban ADRES, clearbans,\n"
    "name TEKST, motd TEKST, stop, start, quit, help.\n"
    "\n"
    "  --socket PAD   de besturingssocket (standaard $ZINDLECHAT_CONTROL, anders\n"
    "                 /run/zindlechat-server/control)\n"
    "  --help         deze tekst\n"
    "\n"
    "Afsluitstatus: 0 gelukt, 1 de server meldde een fout, 2 verkeerd gebruik,\n"
    "3 geen antwoord (geen server of geen toegang).\n";

void Print(std::FILE* to, const QByteArray& text) {
    std::fwrite(text.constData(), 1, std::size_t(text.size()), to);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString socket = qEnvironmentVariable("ZINDLECHAT_CONTROL", QString::fromLatin1(kDefaultSocket));
    if (!args.isEmpty() && (args.front() == u"--help" || args.front() == u"-h")) {
        Print(stdout, kUsage);
        return 0;
    }
    if (!args.isEmpty() && args.front().startsWith(u"--socket")) {
        if (args.front().startsWith(u"--socket=")) {
            socket = args.takeFirst().mid(9);
        } else if (args.size() >= 2) {
            args.removeFirst();
            socket = args.takeFirst();
        } else {
            args.clear();
        }
    }
    if (args.isEmpty() || args.front().startsWith(u"-")) {
        Print(stderr, kUsage);
        return 2;
    }
    const ctl::Reply reply = ctl::SendCommand(socket, args.join(u' ').toUtf8(), 15000);
    Print(stdout, reply.out);
    Print(stderr, reply.err);
    if (reply.status == 3)
        Print(stderr, reply.failure.toLocal8Bit() + '\n');
    return reply.status;
}
