// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The console server's command line. Flags override the stored options for this
// run only; nothing is written back.
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
    QString error; // non-empty: the command line is wrong
};

// args without the program name. "--flag value" and "--flag=value" both work.
HeadlessOptions ParseHeadlessOptions(const QStringList& args);

// A port text is a whole number 1..65535.
bool ValidPort(const QString& text);

// "\n" (backslash, n) in a --motd or console motd stands for a line break (CR LF);
// "\\" for one backslash.
QString ExpandLineBreaks(const QString& text);

QString HeadlessHelpText();
QString HeadlessVersionText();

} // namespace server
