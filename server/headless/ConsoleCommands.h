// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The console's commands, one line each, run against the server core:
//   users | info N | kick N | ban N | bans | unban ADDRESS | clearbans
//   name TEXT | motd TEXT | fingerprint | reload | stop | start | quit | help
// Replies go to out (one text, lines ended by "\n"), mistakes to err.
#include <QString>

namespace server {

class ServerCore;

class ConsoleCommands {
public:
    ConsoleCommands(ServerCore& core, QString portText) : core_(core), portText_(std::move(portText)) {}

    enum class Result { Continue, Quit };
    Result Execute(const QString& line, QString& out, QString& err);

private:
    int SlotArgument(const QString& arg, QString& err) const;

    ServerCore& core_;
    QString portText_;
};

} // namespace server
