// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/SettingsStore.h"

#include <QSettings>
#include <QStandardPaths>

namespace net {

QString SettingsFilePath(const QString& application) {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/') +
           application + QStringLiteral(".ini");
}

QString GetSetting(const QString& application, const QString& section, const QString& key,
                   const QString& defaultValue) {
    QSettings store(SettingsFilePath(application), QSettings::IniFormat);
    return store.value(section + QLatin1Char('/') + key, defaultValue).toString();
}

void SaveSetting(const QString& application, const QString& section, const QString& key,
                 const QString& value) {
    QSettings store(SettingsFilePath(application), QSettings::IniFormat);
    store.setValue(section + QLatin1Char('/') + key, value);
}

} // namespace net
