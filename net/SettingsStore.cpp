// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/SettingsStore.h"

#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <sys/stat.h>

namespace net {

namespace {

// The text after "key=" in the file as written, for a hand-written value that
// QSettings reads as a list because it holds commas ("Huiskamer, Amsterdam").
QString RawValue(const QString& path, const QString& section, const QString& key) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    bool inSection = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'[')) {
            inSection = line.compare(u'[' + section + u']', Qt::CaseInsensitive) == 0;
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (inSection && eq > 0 && line.left(eq).trimmed() == key)
            return line.mid(eq + 1).trimmed();
    }
    return QString();
}

} // namespace

QString SettingsFilePath(const QString& application) {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/') +
           application + QStringLiteral(".ini");
}

QString GetSetting(const QString& application, const QString& section, const QString& key,
                   const QString& defaultValue) {
    const QString path = SettingsFilePath(application);
    QSettings store(path, QSettings::IniFormat);
    const QVariant value = store.value(section + QLatin1Char('/') + key, defaultValue);
    if (value.typeId() == QMetaType::QStringList)
        return RawValue(path, section, key);
    return value.toString();
}

bool SaveSetting(const QString& application, const QString& section, const QString& key,
                 const QString& value) {
    const QString path = SettingsFilePath(application);
    QSettings store(path, QSettings::IniFormat);
    store.setValue(section + QLatin1Char('/') + key, value);
    // The file may hold a room password: only its owner reads it, from its
    // first byte on.
    const mode_t previous = ::umask(077);
    store.sync();
    ::umask(previous);
    const bool written = store.status() == QSettings::NoError;
    if (written)
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return written;
}

} // namespace net
