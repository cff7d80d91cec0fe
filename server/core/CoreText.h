// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Wire text helpers shared by the core's parts: wire bytes are Latin-1, one byte
// per character.
#include <QByteArray>
#include <QString>
#include <charconv>
#include <string>
#include <string_view>

namespace server {

inline std::string ToBytes(const QString& text) {
    const QByteArray bytes = text.toLatin1();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

inline QString FromBytes(std::string_view bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

inline void AppendNumber(std::string& out, long long value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

} // namespace server
