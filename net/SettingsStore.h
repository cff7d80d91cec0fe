// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The per-user settings store: strings by application, section and key.
// Kept as $XDG_CONFIG_HOME/<application>.ini, one INI group per section. A
// hand-written value with commas reads back whole.
#include <QString>

namespace net {

QString GetSetting(const QString& application, const QString& section, const QString& key,
                   const QString& defaultValue = QString());
// Written readable by its owner only. False when the file could not be written.
bool SaveSetting(const QString& application, const QString& section, const QString& key,
                 const QString& value);
// Where the store of an application lives (for messages and tests).
QString SettingsFilePath(const QString& application);

} // namespace net
