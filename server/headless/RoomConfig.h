// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the console server and the daemon run with, and where it comes from:
// the settings store, then (the daemon's) configuration file, then the password
// file, then the command line, each over the one before. Read at start and
// again on a reload (SIGHUP), where the values that can change while running
// are applied and the others wait for a restart.
#include "server/core/ServerLimits.h"
#include "server/headless/HeadlessOptions.h"

#include <QString>
#include <QStringList>

namespace server {

class ServerCore;

struct RoomConfig {
    QString port = QStringLiteral("12345");
    QString password;
    QString name, motd;
    bool chatLog = true;
    bool dubbelIP = false;
    bool logAll = false; // a console or a service log wants events, not every message
    ServerLimits limits;
    QString tlsCert, tlsKey; // empty: the server's own certificate
    bool tlsOnly = false;
    QStringList listen; // empty: every address of both families
};

struct RoomConfigSources {
    HeadlessOptions options;
    QString configPath;          // empty: no configuration file
    bool configRequired = false; // named with --config: it must exist
};

// Reads every source over base; a value that does not read keeps base's and is
// named in *warnings. False, with a reason in *error, when a file that exists
// cannot be read or parsed (the store, the configuration or the password file).
// The port is taken as given; the caller checks it.
bool LoadRoomConfig(const RoomConfigSources& sources, const RoomConfig& base, RoomConfig* out, QString* error,
                    QStringList* warnings);

// Puts config into a stopped core.
void ApplyAtStart(ServerCore& core, const RoomConfig& config);
// Applies what differs while the server runs and says, one phrase each, what
// changed (never a password): name and message of the day reach the users at
// once. The port waits for a restart (said too).
QStringList ApplyOnReload(ServerCore& core, const RoomConfig& before, const RoomConfig& after);

// The start line: addresses and port, room name, whether a password is set.
QString StartLine(const ServerCore& core, const RoomConfig& config);

} // namespace server
