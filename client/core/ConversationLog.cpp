// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/core/ConversationLog.h"

#include <QCryptographicHash>
#include <QStandardPaths>

namespace client {

namespace {
constexpr qsizetype kMaxNameLength = 64;

constexpr qsizetype kHashLength = 8;

// "~" is not among them: it marks the hash of a name that had to change, so a
// name kept as it is can never look like one.
bool Harmless(QChar c) {
    return c.isLetterOrNumber() || QStringView(u" ._-+@#()[]{}!,=").contains(c);
}

QString ShortHash(const QString& name) {
    return QString::fromLatin1(
        QCryptographicHash::hash(name.toUtf8(), QCryptographicHash::Sha256).toHex().left(kHashLength));
}
} // namespace

QString SafeFileName(const QString& name) {
    QString out;
    for (QChar c : name.left(kMaxNameLength))
        out.append(Harmless(c) ? c : QChar(u'_'));
    // A leading dot would hide the file, and "." or ".." would leave the folder.
    for (qsizetype i = 0; i < out.size() && out.at(i) == u'.'; ++i)
        out[i] = u'_';
    if (out.trimmed().isEmpty())
        out = QStringLiteral("_") + out;
    if (out == name)
        return out;
    // Shortened or changed: two names that came out the same ("a/b" and "a_b",
    // or equal in their first 64 characters) still get files of their own.
    return out.left(kMaxNameLength - kHashLength - 1) + QLatin1Char('~') + ShortHash(name);
}

QString DefaultLogRoot() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/ZindleChat/logs");
}

QString LogFilePath(const QString& root, const QString& server, const QString& partner, const QDate& day) {
    const QString file = day.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".log");
    QString path = root + QLatin1Char('/') + SafeFileName(server) + QLatin1Char('/');
    if (partner.isEmpty())
        return path + QStringLiteral("kamer/") + file;
    return path + QStringLiteral("prive/") + SafeFileName(partner) + QLatin1Char('/') + file;
}

QString LogLineText(const QTime& time, const QString& strData) {
    QString text = QLatin1Char('[') + time.toString(QStringLiteral("HH:mm:ss")) + QStringLiteral("] ");
    QString line = strData;
    line.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (line.endsWith(u'\n'))
        line.chop(1);
    for (QChar c : line) {
        const char16_t u = c.unicode();
        if (u == u'\n' || u == u'\t' || (u >= 0x20 && u != 0x7F && !(u >= 0x80 && u <= 0x9F)))
            text.append(c);
        else
            text.append(QStringLiteral("\\x%1").arg(int(u), 2, 16, QLatin1Char('0')));
    }
    return text + QLatin1Char('\n');
}

} // namespace client
