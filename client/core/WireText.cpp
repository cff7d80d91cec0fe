// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/core/WireText.h"

#include "common/ZindleEncrypt.h"

#include <algorithm>

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

namespace {
bool unicodeOn = true;

bool FitsLatin1(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x100; });
}

// The number of continuation bytes a lead byte announces, -1 for a byte that
// cannot start a sequence; the smallest code point for that length keeps
// over-long forms out.
int Continuations(unsigned char lead, char32_t* value, char32_t* smallest) {
    if (lead >= 0xC2 && lead <= 0xDF) {
        *value = lead & 0x1F;
        *smallest = 0x80;
        return 1;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        *value = lead & 0x0F;
        *smallest = 0x800;
        return 2;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        *value = lead & 0x07;
        *smallest = 0x10000;
        return 3;
    }
    return -1;
}
} // namespace

void SetUnicode(bool on) {
    unicodeOn = on;
}

bool UnicodeOn() {
    return unicodeOn;
}

bool IsMultiByteUtf8(std::string_view bytes) {
    bool multiByte = false;
    for (std::size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        char32_t value = 0, smallest = 0;
        const int more = Continuations(lead, &value, &smallest);
        if (more < 0 || i + std::size_t(more) >= bytes.size())
            return false;
        for (int k = 1; k <= more; ++k) {
            const auto c = static_cast<unsigned char>(bytes[i + std::size_t(k)]);
            if ((c & 0xC0) != 0x80)
                return false;
            value = (value << 6) | (c & 0x3F);
        }
        if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
            return false;
        multiByte = true;
        i += std::size_t(more) + 1;
    }
    return multiByte;
}

std::string EncodeText(const QString& text) {
    if (!unicodeOn || FitsLatin1(text))
        return ToWire(text);
    QString clean = text;
    clean.remove(QChar(0));
    const QByteArray utf8 = clean.toUtf8();
    return std::string(utf8.constData(), std::size_t(utf8.size()));
}

QString DecodeText(std::string_view bytes) {
    if (unicodeOn && IsMultiByteUtf8(bytes))
        return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    return FromWire(bytes);
}

QString SendableText(const QString& text) {
    return DecodeText(EncodeText(text));
}

std::vector<std::pair<qsizetype, qsizetype>> UnsendableRuns(const QString& text) {
    std::vector<std::pair<qsizetype, qsizetype>> runs;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        const bool bad = c == 0 || (!unicodeOn && c >= 0x100);
        if (!bad)
            continue;
        if (!runs.empty() && runs.back().first + runs.back().second == i)
            ++runs.back().second;
        else
            runs.emplace_back(i, 1);
    }
    return runs;
}

std::string ScramblePassword(const QString& typed) {
    return ZindleEncrypt::Encrypt(ToWire(typed));
}

} // namespace client
