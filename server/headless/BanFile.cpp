// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/headless/BanFile.h"

#include "server/core/ServerCore.h"

#include <QFile>
#include <QHostAddress>
#include <QSaveFile>

namespace server {

BanFileContents ParseBanFile(const QByteArray& text) {
    BanFileContents contents;
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = QString::fromUtf8(lines[i]).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        QHostAddress address;
        if (!address.setAddress(line)) {
            contents.problems
                << QStringLiteral("regel %1: \"%2\" is geen adres").arg(i + 1).arg(line.left(80));
            continue;
        }
        if (!contents.addresses.contains(line))
            contents.addresses << line;
    }
    return contents;
}

BanFile::BanFile(ServerCore& core, QString path, QObject* parent)
    : QObject(parent), core_(core), path_(std::move(path)) {}

bool BanFile::Load(QString* report) {
    report->clear();
    QFile file(path_);
    if (file.exists()) {
        if (!file.open(QIODevice::ReadOnly)) {
            *report = QStringLiteral("Kan de banlijst \"%1\" niet lezen: %2").arg(path_, file.errorString());
            return false;
        }
        const BanFileContents contents = ParseBanFile(file.readAll());
        file.close();
        for (const QString& address : contents.addresses)
            if (!core_.BanList().contains(address))
                core_.AddBan(address);
        if (!contents.problems.isEmpty()) {
            const QString aside = path_ + QStringLiteral(".beschadigd");
            QFile::remove(aside);
            const bool kept = QFile::copy(path_, aside);
            *report = QStringLiteral("Banlijst \"%1\" is beschadigd (%2); %3 adres(sen) gelezen, %4")
                          .arg(path_, contents.problems.join(QStringLiteral("; ")))
                          .arg(contents.addresses.size())
                          .arg(kept ? QStringLiteral("het origineel staat in \"%1\"").arg(aside)
                                    : QStringLiteral("het origineel kon niet apart worden gezet"));
        }
    }
    connect(&core_, &ServerCore::banListChanged, this, &BanFile::SaveOrLog);
    return true;
}

bool BanFile::Save(QString* error) const {
    QSaveFile file(path_);
    QByteArray text = "# Gebannen adressen, één per regel (ZindleChat-server)\n";
    for (const QString& address : core_.BanList())
        text += address.toUtf8() + '\n';
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        *error = QStringLiteral("Kan de banlijst \"%1\" niet schrijven: %2").arg(path_, file.errorString());
        return false;
    }
    return true;
}

void BanFile::SaveOrLog() {
    QString error;
    if (!Save(&error))
        core_.AddLog(QStringLiteral("STATUS [0] ") + error);
}

} // namespace server
