// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/core/WireText.h"

#include "common/ZindleEncrypt.h"

namespace client {

std::string ToWire(const QString& text) {
    std::string out;
    out.reserve(std::size_t(text.size()));
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c == 0)
            continue;
        if (c < 0x100) {
            out.push_back(char(c));
            continue;
        }
        // One character the wire cannot carry is one "?"; a surrogate pair is one
        // character.
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(text.at(i + 1).unicode()))
            ++i;
        out.push_back('?');
    }
    return out;
}

QString FromWire(std::string_view bytes) {
    return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
}

QString WireSafe(const QString& text) {
    return FromWire(ToWire(text));
}

std::string ScramblePassword(const QString& typed) {
    return ZindleEncrypt::Encrypt(ToWire(typed));
}

} // namespace client
