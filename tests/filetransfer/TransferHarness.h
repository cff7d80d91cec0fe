// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Helpers of the transfer tests: bounded waiting, files and their hashes.
#include "tests/support/EventWait.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <functional>
#include <random>

namespace fttest {

// Runs events until `done` holds or `limitMs` passed.
inline bool WaitFor(const std::function<bool()>& done, int limitMs = 5000) {
    return zindletest::WaitUntil(done, limitMs);
}

inline QByteArray Hash(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(&f);
    return h.result();
}

inline void WriteFile(const QString& path, const QByteArray& content) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(content);
}

inline QByteArray RandomBytes(qsizetype size, unsigned seed) {
    std::mt19937 rng(seed);
    QByteArray b(size, Qt::Uninitialized);
    for (char& c : b)
        c = char(rng());
    return b;
}

// Everything in a folder, hidden files included (a partial file would be hidden).
inline QStringList Entries(const QString& dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                               QDir::Name);
}

} // namespace fttest
