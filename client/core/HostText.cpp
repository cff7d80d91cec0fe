// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/core/HostText.h"

#include "net/PeerAddress.h"

#include <QStringList>

namespace client {

namespace {

bool IsIPv6(const QString& text) {
    const auto address = net::PeerAddress::Parse(text.toStdString());
    return address && text.contains(u':');
}

// Labels of 1 to 63 letters, digits, '-' or '_' (names on a LAN carry those too),
// separated by dots; one closing dot is allowed.
bool ValidHostName(const QString& name) {
    if (name.isEmpty() || name.size() > kMaxHostLength)
        return false;
    QString body = name;
    if (body.endsWith(u'.'))
        body.chop(1);
    const QStringList labels = body.split(u'.');
    for (const QString& label : labels) {
        if (label.isEmpty() || label.size() > 63 || label.startsWith(u'-') || label.endsWith(u'-'))
            return false;
        for (const QChar c : label)
            if (c.unicode() >= 128 || !(c.isLetterOrNumber() || c == u'-' || c == u'_'))
                return false;
    }
    return true;
}

} // namespace

HostAndPort SplitHostPort(const QString& word, const QString& defaultPort) {
    HostAndPort result{word, defaultPort};
    if (word.startsWith(u'[')) {
        const qsizetype close = word.indexOf(u']');
        if (close < 0)
            return result;
        const QString rest = word.mid(close + 1);
        if (!rest.isEmpty() && !rest.startsWith(u':'))
            return result;
        result.host = word.mid(1, close - 1);
        if (rest.size() > 1)
            result.port = rest.mid(1);
        return result;
    }
    // An IPv6 address without brackets has no port; anything else is cut at its
    // colons as always ("host:4000:9" is host and port 4000).
    if (IsIPv6(word))
        return result;
    const QStringList parts = word.split(u':');
    result.host = parts.at(0);
    if (parts.size() > 1 && !parts.at(1).isEmpty())
        result.port = parts.at(1);
    return result;
}

bool ValidHost(const QString& text, QString* host) {
    QString candidate = text.trimmed();
    const bool bracketed = candidate.startsWith(u'[') && candidate.endsWith(u']');
    if (bracketed)
        candidate = candidate.mid(1, candidate.size() - 2);
    const bool ok = IsIPv6(candidate) || (!bracketed && ValidHostName(candidate));
    if (ok && host)
        *host = candidate;
    return ok;
}

} // namespace client
