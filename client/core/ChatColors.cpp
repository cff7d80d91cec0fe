// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/core/ChatColors.h"

#include "net/SettingsStore.h"

#include <cmath>

namespace client {

QColor ColorFromInt(qint64 value) {
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

qint64 ColorToInt(const QColor& color) {
    return qint64(color.red()) + 256 * qint64(color.green()) + 65536 * qint64(color.blue());
}

qint64 ParseColorSetting(const QString& stored) {
    // The longest leading decimal number: blanks, sign, digits, one point, digits.
    qsizetype i = 0;
    const qsizetype n = stored.size();
    while (i < n && (stored.at(i) == u' ' || stored.at(i) == u'\t'))
        ++i;
    const qsizetype start = i;
    if (i < n && (stored.at(i) == u'-' || stored.at(i) == u'+'))
        ++i;
    bool digits = false;
    while (i < n && stored.at(i).isDigit() && stored.at(i).unicode() < 0x80) {
        ++i;
        digits = true;
    }
    if (i < n && stored.at(i) == u'.') {
        ++i;
        while (i < n && stored.at(i).isDigit() && stored.at(i).unicode() < 0x80) {
            ++i;
            digits = true;
        }
    }
    if (!digits)
        return 0;
    bool ok = false;
    const double value = stored.mid(start, i - start).toDouble(&ok);
    if (!ok || !std::isfinite(value) || std::fabs(value) > 9.0e15)
        return 0;
    return qint64(std::nearbyint(value)); // halves to even
}

namespace {
const QString kApplication = QStringLiteral("ZindleChat");
const QString kSection = QStringLiteral("Colors");

qint64 Read(const QString& key, qint64 fallback) {
    const QString stored = net::GetSetting(kApplication, kSection, key, QString::number(fallback));
    return ParseColorSetting(stored);
}
} // namespace

ChatColors LoadColors() {
    ChatColors c;
    c.Timestamp = Read(QStringLiteral("Timestamp"), c.Timestamp);
    c.Nickname = Read(QStringLiteral("Nickname"), c.Nickname);
    c.LocalNickname = Read(QStringLiteral("LocalNickname"), c.LocalNickname);
    c.Text = Read(QStringLiteral("Text"), c.Text);
    c.Background = Read(QStringLiteral("Background"), c.Background);
    c.Action = Read(QStringLiteral("Action"), c.Action);
    return c;
}

void SaveColors(const ChatColors& c) {
    net::SaveSetting(kApplication, kSection, QStringLiteral("Timestamp"), QString::number(c.Timestamp));
    net::SaveSetting(kApplication, kSection, QStringLiteral("Nickname"), QString::number(c.Nickname));
    net::SaveSetting(kApplication, kSection, QStringLiteral("LocalNickname"),
                     QString::number(c.LocalNickname));
    net::SaveSetting(kApplication, kSection, QStringLiteral("Text"), QString::number(c.Text));
    net::SaveSetting(kApplication, kSection, QStringLiteral("Background"), QString::number(c.Background));
    net::SaveSetting(kApplication, kSection, QStringLiteral("Action"), QString::number(c.Action));
}

} // namespace client
