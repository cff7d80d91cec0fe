// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one rule for a port as the operator types it: a whole number 1..65535,
// blanks around it allowed, nothing else (no sign, no hexadecimal).
#include <QString>
#include <QtGlobal>
#include <optional>

namespace server {

std::optional<quint16> ParsePort(const QString& text);
inline bool ValidPort(const QString& text) {
    return ParsePort(text).has_value();
}
// "Ongeldige poort "<text>": kies een getal van 1 tot en met 65535"
QString InvalidPortReason(const QString& text);

} // namespace server
