// SPDX-License-Identifier: GPL-3.0-or-later
#include "PartialFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace client {

PartialFile::PartialFile(QString targetPath, bool mayReplace)
    : m_targetPath(std::move(targetPath)), m_mayReplace(mayReplace) {}

PartialFile::~PartialFile() {
    discard();
}

bool PartialFile::open(QString* error) {
    const QFileInfo target(m_targetPath);
    // Hidden, next to the target so the final rename stays on one file system.
    for (int attempt = 0; attempt < 8; ++attempt) {
        const QString name = QStringLiteral(".%1.%2.part")
                                 .arg(target.fileName())
                                 .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        m_file.setFileName(target.absoluteDir().filePath(name));
        if (m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
            return true;
        if (m_file.error() != QFileDevice::OpenError || !target.absoluteDir().exists())
            break;
    }
    if (error)
        *error = m_file.errorString();
    m_file.setFileName(QString());
    return false;
}

bool PartialFile::write(const char* data, qint64 size) {
    qint64 done = 0;
    while (done < size) {
        const qint64 n = m_file.write(data + done, size - done);
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

bool PartialFile::commit(QString* error) {
    if (!m_file.isOpen()) {
        if (error)
            *error = QStringLiteral("not open");
        return false;
    }
    m_file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                          QFileDevice::ReadOther);
    m_file.close();
    if (m_file.error() != QFileDevice::NoError) {
        if (error)
            *error = m_file.errorString();
        discard();
        return false;
    }
    bool moved;
    QString reason;
    if (m_mayReplace) {
        // One step: the old file stays whole until the new one takes its place.
        const QByteArray from = QFile::encodeName(m_file.fileName());
        const QByteArray to = QFile::encodeName(m_targetPath);
        moved = std::rename(from.constData(), to.constData()) == 0;
        if (!moved)
            reason = QString::fromLocal8Bit(std::strerror(errno));
    } else {
        // QFile refuses an existing target, so a file that appeared meanwhile is never replaced.
        QFile file(m_file.fileName());
        moved = file.rename(m_targetPath);
        if (!moved)
            reason = file.errorString();
    }
    if (!moved) {
        if (error)
            *error = reason;
        discard();
        return false;
    }
    m_file.setFileName(QString());
    return true;
}

void PartialFile::discard() {
    if (m_file.fileName().isEmpty())
        return;
    if (m_file.isOpen())
        m_file.close();
    m_file.remove();
    m_file.setFileName(QString());
}

} // namespace client
