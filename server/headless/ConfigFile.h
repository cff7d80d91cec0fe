// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The service's configuration file (/etc/zindlechat-server/zindlechat-server.conf):
// INI with the settings keys, in section [Options] or before any section. A value
// is the whole rest of its line, spaces and commas included; surrounding double
// quotes are taken off (to keep blanks at either end). "#" and ";" start comments.
#include <QHash>
#include <QString>

namespace server {

// The settings keys a configuration file may hold.
const QStringList& ConfigKeys();

// False with a readable reason (naming the file and the line) when the text is
// not such a file: a line without "=", an unknown key or section.
bool ParseConfigText(const QByteArray& text, const QString& path, QHash<QString, QString>* values,
                     QString* error);
// Reads and parses the file. False with a reason when it cannot be read.
bool ReadConfigFile(const QString& path, QHash<QString, QString>* values, QString* error);

} // namespace server
