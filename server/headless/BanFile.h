// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A ban list that outlives a restart: one address per line in a text file
// (lines starting with "#" are comments). Read once at start; written again,
// atomically (a new file renamed over the old), whenever the list changes. A line
// that holds no address makes the file damaged: the good lines are used, the
// damage is reported and the file is kept aside as PATH.beschadigd before it
// is ever written again, so nothing an administrator wrote is lost in silence.
#include <QObject>
#include <QString>
#include <QStringList>

namespace server {

class ServerCore;

struct BanFileContents {
    QStringList addresses;
    QStringList problems; // "regel N: ..." per line that holds no address
};

// Parses the text of a ban file.
BanFileContents ParseBanFile(const QByteArray& text);

class BanFile : public QObject {
    Q_OBJECT
public:
    BanFile(ServerCore& core, QString path, QObject* parent = nullptr);

    // Reads the file (a missing one is an empty list), adds its addresses to the
    // core's list and from then on writes every change. False when the file
    // exists but cannot be read; *report says what went wrong or was damaged
    // (empty when all is well).
    bool Load(QString* report);
    // Writes the core's list now; false with a reason in *error.
    bool Save(QString* error) const;

private:
    void SaveOrLog();

    ServerCore& core_;
    QString path_;
};

} // namespace server
