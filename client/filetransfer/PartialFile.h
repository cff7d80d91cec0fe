// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The file being received. Bytes go to a hidden temporary file next to the
// target, which takes the target's name only when the transfer is complete:
// a transfer that ends any other way leaves nothing behind, and a file already
// at the target survives unless the user agreed to replace it and the new one arrived.
#include <QFile>
#include <QString>

namespace client {

class PartialFile {
public:
    // mayReplace: the user agreed to overwrite a file already at `targetPath`.
    PartialFile(QString targetPath, bool mayReplace);
    ~PartialFile(); // discards what is not committed
    PartialFile(const PartialFile&) = delete;
    PartialFile& operator=(const PartialFile&) = delete;

    bool open(QString* error = nullptr);
    bool write(const char* data, qint64 size);
    // Closes the file and gives it the target's name.
    bool commit(QString* error = nullptr);
    // Closes and removes the temporary file.
    void discard();

    bool isOpen() const { return m_file.isOpen(); }
    QString temporaryPath() const { return m_file.fileName(); }
    QString targetPath() const { return m_targetPath; }

private:
    QString m_targetPath;
    bool m_mayReplace;
    QFile m_file;
};

} // namespace client
