// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/ZindleVersion.h"

#include <cmath>
#include <cstdio>

namespace ZindleVersion {
namespace {

std::string FourDigits(int n) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d", n);
    return buf;
}

// The decimal number at the start of a piece, after leading spaces: an optional
// sign, digits, and an optional fraction. No number gives 0. Rounded to the
// nearest integer, halves to even.
double LeadingNumber(std::string_view piece) {
    std::size_t i = 0;
    while (i < piece.size() && piece[i] == ' ')
        ++i;
    bool negative = false;
    if (i < piece.size() && (piece[i] == '-' || piece[i] == '+')) {
        negative = piece[i] == '-';
        ++i;
    }
    double value = 0;
    bool digits = false;
    for (; i < piece.size() && piece[i] >= '0' && piece[i] <= '9'; ++i) {
        value = value * 10 + (piece[i] - '0');
        digits = true;
    }
    if (i < piece.size() && piece[i] == '.') {
        double scale = 0.1;
        for (++i; i < piece.size() && piece[i] >= '0' && piece[i] <= '9'; ++i) {
            value += (piece[i] - '0') * scale;
            scale /= 10;
            digits = true;
        }
    }
    if (!digits)
        return 0;
    const double rounded = std::nearbyint(value); // the default rounding mode: halves to even
    return negative ? -rounded : rounded;
}

} // namespace

std::string ClientVersionText(int major, int minor, int revision) {
    return std::to_string(major) + "." + std::to_string(minor) + " build #" + FourDigits(revision);
}

std::string ServerVersionText(int major, int minor, int revision) {
    return std::to_string(major) + "." + std::to_string(minor) + "." + FourDigits(revision);
}

std::string DisplayVersion(int major, int minor, int revision) {
    return ClientVersionText(major, minor, revision);
}

VersionNumbers ReadVersionNumbers(std::string_view text) {
    VersionNumbers n;
    const std::size_t dot = text.find('.');
    // Without a "." the whole text is the major piece and the minor piece is empty.
    const std::string_view majorPiece = dot == std::string_view::npos ? text : text.substr(0, dot + 1);
    const std::string_view minorPiece =
        dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
    const std::size_t hash = text.find('#');
    const std::string_view buildPiece =
        hash == std::string_view::npos ? std::string_view() : text.substr(hash + 1);
    n.major = LeadingNumber(majorPiece);
    n.minor = LeadingNumber(minorPiece);
    n.build = LeadingNumber(buildPiece);
    return n;
}

bool VersionAccepted(std::string_view versionText) {
    const VersionNumbers n = ReadVersionNumbers(versionText);
    if (n.major > 0)
        return true;
    if (n.major < 0)
        return false;
    return n.minor >= 2 || (n.minor == 1 && n.build >= 17);
}

} // namespace ZindleVersion
