// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/headless/CommandDesk.h"

#include "server/core/ServerCore.h"

#include <QStringList>

namespace server {

void CommandDesk::Run(const QByteArray& line, QObject* context,
                      std::function<void(const CommandAnswer&)> done) {
    const QStringList words = QString::fromLocal8Bit(line).split(u' ', Qt::SkipEmptyParts);
    bool isNumber = false;
    const int slot = words.size() == 2 && words[0] == u"info" ? words[1].toInt(&isNumber) : -1;
    if (isNumber && core_.IsInUse(slot) && core_.RemoteHost(slot).isEmpty()) {
        core_.LookUpHost(slot, context, [this, line, done = std::move(done)] { done(Execute(line)); });
        return;
    }
    done(Execute(line));
}

CommandAnswer CommandDesk::Execute(const QByteArray& line) {
    CommandAnswer answer;
    answer.quit = commands_.Execute(QString::fromLocal8Bit(line), answer.out, answer.err) ==
                  ConsoleCommands::Result::Quit;
    return answer;
}

} // namespace server
