// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/core/AccessibilitySettings.h"

#include "net/SettingsStore.h"

#include <algorithm>

namespace client {

namespace {
const QString kApp = QStringLiteral("ZindleChat");
const QString kOptions = QStringLiteral("Options");
const QString kReadNewLines = QStringLiteral("ReadNewLines");
const QString kTextZoom = QStringLiteral("TextZoom");
} // namespace

AccessibilitySettings AccessibilitySettings::Load() {
    AccessibilitySettings settings;
    // Anything but a clear "0" leaves the announcements on.
    settings.ReadNewLines =
        net::GetSetting(kApp, kOptions, kReadNewLines, QStringLiteral("-1")).trimmed() != QStringLiteral("0");
    bool ok = false;
    const int zoom = net::GetSetting(kApp, kOptions, kTextZoom, QStringLiteral("0")).trimmed().toInt(&ok);
    settings.TextZoom = ok ? std::clamp(zoom, kMinZoom, kMaxZoom) : 0;
    return settings;
}

void AccessibilitySettings::SaveReadNewLines(bool on) {
    net::SaveSetting(kApp, kOptions, kReadNewLines, on ? QStringLiteral("-1") : QStringLiteral("0"));
}

void AccessibilitySettings::SaveTextZoom(int steps) {
    net::SaveSetting(kApp, kOptions, kTextZoom, QString::number(steps));
}

} // namespace client
