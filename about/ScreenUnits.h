// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Window sizes are kept in twips (1/1440 inch) and colours as r + 256*g + 65536*b;
// these convert at the widgets, following the screen's logical DPI.
#include <QColor>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace ui {

inline double LogicalDpi(const QWidget* w = nullptr) {
    const QScreen* screen = w && w->screen() ? w->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInchX() : 96.0;
}
// 15 twips are one pixel at 96 dpi.
inline int TwipsToPixels(int twips, const QWidget* w = nullptr) {
    return static_cast<int>(std::lround(twips * LogicalDpi(w) / 1440.0));
}
inline int PixelsToTwips(int pixels, const QWidget* w = nullptr) {
    return static_cast<int>(std::lround(pixels * 1440.0 / LogicalDpi(w)));
}

inline QColor ColorFromInt(qint64 value) {
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}
inline qint64 ColorToInt(const QColor& c) {
    return qint64(c.red()) + 256 * qint64(c.green()) + 65536 * qint64(c.blue());
}

} // namespace ui
