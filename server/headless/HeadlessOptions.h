// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The console server's command line. Flags override the stored options for this
// run only; nothing is written back.
#include "server/core/ServerPort.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace server {

struct HeadlessOptions {
    bool help = false;
    bool version = false;
    std::optional<QString> port, password, name, motd;
    bool noDuplicateIp = false;
    std::optional<bool> chatLog;
    std::optional<QString> passwordFile;
    std::optional<int> loginTimeout, maxPendingPerAddress, maxUsersPerAddress;
    std::optional<std::size_t> sendBudget; // bytes
    std::optional<double> floodRate;
    std::optional<int> floodBurst;
    std::optional<bool> logAll; // --log all (true) or events (false)
    std::optional<QString> tlsCert, tlsKey;
    bool tlsOnly = false;
    QStringList listen; // --listen, repeatable; empty: the stored setting
    // The service's parts: configuration file, ban file, control socket.
    std::optional<QString> config, banFile, control, controlGroup;
    QString error; // non-empty: the command line is wrong
};

// args without the program name. "--flag value" and "--flag=value" both work.
HeadlessOptions ParseHeadlessOptions(const QStringList& args);

// The room password from a file: its first line, without the line end. False,
// with a readable reason, when the file cannot be read.
bool ReadPasswordFile(const QString& path, QString* password, QString* error);

// "\n" (backslash, n) in a --motd or console motd stands for a line break (CR LF);
// "\\" for one backslash.
QString ExpandLineBreaks(const QString& text);

// The daemon's text names the daemon, which has no window to open.
QString HeadlessHelpText(bool daemon = false);
QString HeadlessVersionText();

} // namespace server
