// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/core/ServerPort.h"

namespace server {

std::optional<quint16> ParsePort(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 5)
        return std::nullopt;
    uint port = 0;
    for (const QChar c : t) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        port = port * 10 + uint(c.unicode() - u'0');
    }
    if (port < 1 || port > 65535)
        return std::nullopt;
    return quint16(port);
}

QString InvalidPortReason(const QString& text) {
    return QStringLiteral("Ongeldige poort \"%1\": kies een getal van 1 tot en met 65535").arg(text);
}

} // namespace server
