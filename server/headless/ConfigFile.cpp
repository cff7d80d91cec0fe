// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/headless/ConfigFile.h"

#include <QFile>
#include <QStringList>

namespace server {

const QStringList& ConfigKeys() {
    static const QStringList keys = {QStringLiteral("ServerNaam"),   QStringLiteral("MOTD"),
                                     QStringLiteral("Port"),         QStringLiteral("Password"),
                                     QStringLiteral("ChatLog"),      QStringLiteral("chkDubbelIP"),
                                     QStringLiteral("LoginTimeout"), QStringLiteral("MaxPendingPerAddress"),
                                     QStringLiteral("SendBudget"),   QStringLiteral("FloodLimit"),
                                     QStringLiteral("Log")};
    return keys;
}

bool ParseConfigText(const QByteArray& text, const QString& path, QHash<QString, QString>* values,
                     QString* error) {
    const QList<QByteArray> lines = text.split('\n');
    bool inOptions = true; // keys before any section count as [Options]
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = QString::fromUtf8(lines[i]).trimmed();
        const auto fail = [&](const QString& why) {
            *error = QStringLiteral("Instellingenbestand \"%1\", regel %2: %3").arg(path).arg(i + 1).arg(why);
            return false;
        };
        if (line.isEmpty() || line.startsWith(u'#') || line.startsWith(u';'))
            continue;
        if (line.startsWith(u'[')) {
            if (!line.endsWith(u']'))
                return fail(QStringLiteral("sectie zonder \"]\""));
            inOptions = line.compare(QStringLiteral("[Options]"), Qt::CaseInsensitive) == 0;
            if (!inOptions)
                return fail(QStringLiteral("onbekende sectie %1 (alleen [Options])").arg(line));
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0)
            return fail(QStringLiteral("verwacht SLEUTEL=WAARDE, niet \"%1\"").arg(line.left(80)));
        const QString key = line.left(eq).trimmed();
        if (!ConfigKeys().contains(key))
            return fail(QStringLiteral("onbekende sleutel \"%1\"").arg(key.left(80)));
        QString value = line.mid(eq + 1).trimmed();
        if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
            value = value.mid(1, value.size() - 2);
        values->insert(key, value);
    }
    return true;
}

bool ReadConfigFile(const QString& path, QHash<QString, QString>* values, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error =
            QStringLiteral("Kan het instellingenbestand \"%1\" niet lezen: %2").arg(path, file.errorString());
        return false;
    }
    return ParseConfigText(file.readAll(), path, values, error);
}

} // namespace server
