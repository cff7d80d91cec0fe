// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/core/CommandLine.h"

#include "client/core/HostText.h"

#include <QStringList>
#include <cerrno>
#include <unistd.h>

namespace client {

namespace {
bool HoldsHelpSwitch(const QString& text) {
    for (const char* help : {"/?", "/h", "-h", "--help"})
        if (text.contains(QLatin1String(help)))
            return true;
    return false;
}

// Takes every "--plain" word out of the text; true if there was one.
bool TakePlainSwitch(QString& args) {
    QStringList words = args.split(u' ');
    const bool found = words.removeAll(QStringLiteral("--plain")) > 0;
    if (found)
        args = words.join(u' ');
    return found;
}
} // namespace

CommandLine ParseCommandLine(const QString& commandLine) {
    CommandLine result;
    QString args = commandLine;
    result.plain = TakePlainSwitch(args);
    if (args.trimmed().isEmpty())
        return result;

    if (HoldsHelpSwitch(args)) {
        result.kind = CommandLine::Kind::Help;
        return result;
    }

    // The text is split as it stands: two spaces make an empty word.
    const QStringList words = args.split(u' ');

    result.kind = CommandLine::Kind::Connect;
    const HostAndPort where = SplitHostPort(words.at(0), kDefaultPort);
    result.host = where.host;
    result.port = where.port;
    if (words.size() > 1) {
        result.password = words.at(1);
        result.hasPassword = true;
    }
    return result;
}

bool EchoSyntaxToTerminal(int fd) {
    if (!::isatty(fd))
        return false;
    const QByteArray text = kCommandLineSyntax.toLatin1() + '\n';
    qsizetype done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.constData() + done, std::size_t(text.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

} // namespace client
