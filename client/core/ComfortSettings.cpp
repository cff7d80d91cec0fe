// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/core/ComfortSettings.h"

#include "net/SettingsStore.h"

namespace client {

namespace {
const QString kApp = QStringLiteral("ZindleChat");
const QString kOptions = QStringLiteral("Options");

constexpr std::array<ComfortInfo, kComfortCount> kInfo{{
    {"InputHistory", "Invoergeschiedenis (pijltjes omhoog en omlaag)", true},
    {"NicknameCompletion", "Nicknames aanvullen met Tab", true},
    {"Links", "Klikbare links", true},
    {"FindBar", "Zoeken in het gesprek (Ctrl+F)", true},
    {"UnreadMarker", "Ongelezen regels markeren", true},
    {"ConversationLogs", "Gesprekken opslaan op schijf", false},
    {"Notifications", "Meldingen op het bureaublad", true},
    {"AutoReconnect", "Automatisch opnieuw verbinden", true},
    {"Unicode", "Unicode (UTF-8) gebruiken", true},
}};
} // namespace

const ComfortInfo& InfoOf(Comfort comfort) {
    return kInfo[std::size_t(comfort)];
}

ComfortSettings::ComfortSettings() {
    for (std::size_t i = 0; i < kInfo.size(); ++i)
        on_[i] = kInfo[i].onByDefault;
}

ComfortSettings ComfortSettings::Load() {
    ComfortSettings settings;
    for (int i = 0; i < kComfortCount; ++i) {
        const ComfortInfo& info = kInfo[std::size_t(i)];
        const QString stored = net::GetSetting(kApp, kOptions, QString::fromLatin1(info.key),
                                               info.onByDefault ? QStringLiteral("-1") : QStringLiteral("0"))
                                   .trimmed();
        // Anything but a clear "0" or "-1" leaves the default.
        settings.on_[std::size_t(i)] = stored == QStringLiteral("0")    ? false
                                       : stored == QStringLiteral("-1") ? true
                                                                        : info.onByDefault;
    }
    return settings;
}

void ComfortSettings::Save(Comfort comfort, bool on) {
    net::SaveSetting(kApp, kOptions, QString::fromLatin1(InfoOf(comfort).key),
                     on ? QStringLiteral("-1") : QStringLiteral("0"));
}

} // namespace client
