#include "client/core/CommandLine.h"

#include <QStringList>

namespace client {

namespace {
bool IsHelpSwitch(const QString& word) {
    return word == QLatin1String("/?") || word == QLatin1String("/h") || word == QLatin1String("-h") ||
           word == QLatin1String("--help");
}
} // namespace

CommandLine ParseCommandLine(const QString& args) {
    CommandLine result;
    if (args.trimmed().isEmpty())
        return result;

    // The text is split as it stands: two spaces make an empty word.
    const QStringList words = args.split(u' ');
    for (const QString& word : words) {
        if (IsHelpSwitch(word)) {
            result.kind = CommandLine::Kind::Help;
            return result;
        }
    }

    result.kind = CommandLine::Kind::Connect;
    const QStringList hostPort = words.at(0).split(u':');
    result.host = hostPort.at(0);
    result.port = hostPort.size() > 1 && !hostPort.at(1).isEmpty() ? hostPort.at(1) : kDefaultPort;
    if (words.size() > 1) {
        result.password = words.at(1);
        result.hasPassword = true;
    }
    return result;
}

} // namespace client
