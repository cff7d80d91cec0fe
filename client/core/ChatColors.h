// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The six transcript colours, each an integer r + 256 g + 65536 b as the settings
// store keeps it.
#include <QColor>
#include <QString>

namespace client {

struct ChatColors {
    qint64 Background = 16777215; // white
    qint64 Text = 0;              // black
    qint64 Nickname = 35071;      // orange
    qint64 LocalNickname = 255;   // red
    qint64 Action = 8913032;      // purple
    qint64 Timestamp = 8947848;   // grey

    bool operator==(const ChatColors&) const = default;
};

QColor ColorFromInt(qint64 value);
qint64 ColorToInt(const QColor& color);

// A stored colour: the decimal number at the start of the text (after blanks),
// rounded; no number gives 0 (black).
qint64 ParseColorSetting(const QString& stored);

// Reads/writes section "Colors" of application "ZindleChat"; absent keys keep
// their defaults.
ChatColors LoadColors();
void SaveColors(const ChatColors& colors);

} // namespace client
