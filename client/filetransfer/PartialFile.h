// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The file being received. Bytes go to an anonymous file in the target's folder
// (O_TMPFILE) that is linked in under the target's name only when the transfer
// is complete and on disk: a transfer that ends any other way, a crash
// included, leaves nothing behind, and a file already at the target survives
// unless the user agreed to replace it and the new one arrived.
//
// Where the file system has no anonymous files, a hidden temporary with a name
// of our own is used instead, locked while it is written. A crash leaves it
// behind unlocked, and the next receive into that folder removes it.
//
// Created with mode 0666 less the umask, like every other file the user makes.
// Written data is sent on its way to the disk as it comes, so the flush before
// the name is given has little left to do.
// Plain blocking calls: this runs on the transfer's disk thread.
#include <QString>
#include <functional>

namespace client {

class PartialFile {
public:
    enum class Step { Sync, Link, Rename, SyncFolder };

    // mayReplace: the user agreed to overwrite a file already at `targetPath`.
    PartialFile(QString targetPath, bool mayReplace);
    ~PartialFile(); // discards what is not committed
    PartialFile(const PartialFile&) = delete;
    PartialFile& operator=(const PartialFile&) = delete;

    bool open(QString* error = nullptr);
    bool write(const char* data, qint64 size);
    // Flushes the data to disk and gives the file the target's name.
    bool commit(QString* error = nullptr);
    // Closes and removes the temporary file.
    void discard();

    bool isOpen() const { return m_fd >= 0; }
    bool anonymous() const { return m_anonymous; }
    QString targetPath() const { return m_targetPath; }

    // Tests: use the named temporary even where anonymous files work, and watch
    // the steps of commit() in order.
    void setAnonymousAllowed(bool allowed) { m_anonymousAllowed = allowed; }
    void setStepObserver(std::function<void(Step)> observer) { m_observer = std::move(observer); }

    // Our temporaries are "." + target name + this + 8 hex digits + ".part".
    static constexpr const char* kTemporaryMark = ".zindlechat-";
    // Removes the temporaries in `folder` that nobody holds (left by a crash).
    static int SweepStale(const QString& folder);

private:
    bool openNamed(QString* error);
    void step(Step s) {
        if (m_observer)
            m_observer(s);
    }

    QString m_targetPath;
    bool m_mayReplace;
    bool m_anonymousAllowed = true;
    bool m_anonymous = false;
    int m_fd = -1;
    qint64 m_written = 0;
    qint64 m_flushStarted = 0; // writeback asked for up to here
    QString m_temporaryPath;   // the named temporary, when there is one
    std::function<void(Step)> m_observer;
};

} // namespace client
