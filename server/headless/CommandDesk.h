// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Runs one console command line for whoever typed it: standard input or a
// client of the control socket. "info N" first looks the user's host name up
// (a few seconds at most), so the answer may come later; it always comes once.
#include "server/headless/ConsoleCommands.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>

namespace server {

class ServerCore;

struct CommandAnswer {
    QString out, err; // replies and mistakes, lines ended by "\n"
    bool quit = false;
};

class CommandDesk {
public:
    CommandDesk(ServerCore& core, const QString& portText) : core_(core), commands_(core, portText) {}

    // done runs with the answer, at once or after the look-up; not at all once
    // context is gone.
    void Run(const QByteArray& line, QObject* context, std::function<void(const CommandAnswer&)> done);

private:
    CommandAnswer Execute(const QByteArray& line);

    ServerCore& core_;
    ConsoleCommands commands_;
};

} // namespace server
