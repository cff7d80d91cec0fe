// SPDX-License-Identifier: GPL-3.0-or-later
#include "PartialFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace client {

namespace {

// Writeback is started for every this many bytes written.
constexpr qint64 kFlushEvery = 8 * 1024 * 1024;

QString Reason() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

bool Fail(QString* error) {
    if (error)
        *error = Reason();
    return false;
}

QByteArray Encoded(const QString& path) {
    return QFile::encodeName(path);
}

// A fresh hidden name for a temporary next to the target.
QString TemporaryName(const QFileInfo& target) {
    return target.absoluteDir().filePath(
        QStringLiteral(".%1%2%3.part")
            .arg(target.fileName(), QLatin1String(PartialFile::kTemporaryMark))
            .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
}

bool SameFile(int fd, const QByteArray& path) {
    struct stat held {
    }, named{};
    return ::fstat(fd, &held) == 0 && ::lstat(path.constData(), &named) == 0 && held.st_dev == named.st_dev &&
           held.st_ino == named.st_ino;
}

// Flushes a folder's entries, so a new name survives a power cut too.
void SyncFolder(const QString& folder) {
    const int fd = ::open(Encoded(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

PartialFile::PartialFile(QString targetPath, bool mayReplace)
    : m_targetPath(std::move(targetPath)), m_mayReplace(mayReplace) {}

PartialFile::~PartialFile() {
    discard();
}

bool PartialFile::open(QString* error) {
    const QFileInfo target(m_targetPath);
    if (m_anonymousAllowed) {
        m_fd = ::open(Encoded(target.absolutePath()).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (m_fd >= 0) {
            m_anonymous = true;
            ::flock(m_fd, LOCK_EX | LOCK_NB); // held through a link to a temporary name, see commit()
            return true;
        }
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return Fail(error);
    }
    return openNamed(error);
}

bool PartialFile::openNamed(QString* error) {
    const QFileInfo target(m_targetPath);
    SweepStale(target.absolutePath());
    for (int attempt = 0; attempt < 8; ++attempt) {
        const QString path = TemporaryName(target);
        const QByteArray name = Encoded(path);
        m_fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd < 0) {
            if (errno == EEXIST)
                continue;
            return Fail(error);
        }
        // Another client's sweep may have taken the name between creation and lock.
        if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0 && SameFile(m_fd, name)) {
            m_temporaryPath = path;
            return true;
        }
        ::close(m_fd);
        m_fd = -1;
    }
    errno = EEXIST;
    return Fail(error);
}

int PartialFile::SweepStale(const QString& folder) {
    static const QRegularExpression ours(QStringLiteral("^\\..*%1[0-9a-f]{8}\\.part$")
                                             .arg(QRegularExpression::escape(QLatin1String(kTemporaryMark))));
    int removed = 0;
    const QDir dir(folder);
    for (const QString& entry : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (!ours.match(entry).hasMatch())
            continue;
        const QByteArray path = Encoded(dir.filePath(entry));
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0)
            continue;
        // A temporary that is being written is locked by its writer; one left by a crash is not.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && SameFile(fd, path) && ::unlink(path.constData()) == 0)
            ++removed;
        ::close(fd);
    }
    return removed;
}

bool PartialFile::write(const char* data, qint64 size) {
    while (size > 0) {
        const ssize_t n = ::write(m_fd, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
        m_written += n;
    }
    if (m_written - m_flushStarted >= kFlushEvery) {
        // Starts the writing out without waiting for it.
        ::sync_file_range(m_fd, m_flushStarted, m_written - m_flushStarted, SYNC_FILE_RANGE_WRITE);
        m_flushStarted = m_written;
    }
    return true;
}

bool PartialFile::commit(QString* error) {
    if (m_fd < 0) {
        if (error)
            *error = QStringLiteral("not open");
        return false;
    }
    const QByteArray target = Encoded(m_targetPath);
    bool ok = true;
    step(Step::Sync);
    if (::fdatasync(m_fd) != 0)
        ok = Fail(error);
    if (ok && m_anonymous) {
        // Straight to the target when nothing may be replaced (a file that appeared
        // meanwhile stays); else under a temporary name first, then one rename.
        if (m_mayReplace)
            m_temporaryPath = TemporaryName(QFileInfo(m_targetPath));
        const QByteArray linkName = m_mayReplace ? Encoded(m_temporaryPath) : target;
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(m_fd);
        step(Step::Link);
        if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, linkName.constData(), AT_SYMLINK_FOLLOW) != 0 &&
            ::linkat(m_fd, "", AT_FDCWD, linkName.constData(), AT_EMPTY_PATH) != 0) {
            ok = Fail(error);
            if (m_mayReplace)
                m_temporaryPath.clear();
        }
    } else if (ok && !m_mayReplace) {
        // link() refuses an existing target, where rename() would replace it.
        step(Step::Link);
        if (::link(Encoded(m_temporaryPath).constData(), target.constData()) != 0)
            ok = Fail(error);
        else
            ::unlink(Encoded(m_temporaryPath).constData());
        if (ok)
            m_temporaryPath.clear();
    }
    if (ok && !m_temporaryPath.isEmpty()) {
        step(Step::Rename);
        if (::rename(Encoded(m_temporaryPath).constData(), target.constData()) != 0)
            ok = Fail(error);
        else
            m_temporaryPath.clear();
    }
    if (!ok) {
        discard();
        return false;
    }
    step(Step::SyncFolder);
    SyncFolder(QFileInfo(m_targetPath).absolutePath());
    ::close(m_fd);
    m_fd = -1;
    return true;
}

void PartialFile::discard() {
    if (!m_temporaryPath.isEmpty())
        ::unlink(Encoded(m_temporaryPath).constData()); // still locked by us while it goes
    m_temporaryPath.clear();
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

} // namespace client
