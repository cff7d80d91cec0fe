// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/ui/ConnectOptions.h"

#include "net/SettingsStore.h"

namespace client {

namespace {
const QString kApp = QStringLiteral("ZindleChat");
const QString kOptions = QStringLiteral("Options");
} // namespace

ConnectOptions LoadConnectOptions() {
    return {net::GetSetting(kApp, kOptions, QStringLiteral("Nickname")),
            net::GetSetting(kApp, kOptions, QStringLiteral("ConnectTo")),
            net::GetSetting(kApp, kOptions, QStringLiteral("ConnectToPort"))};
}

void SaveConnectOptions(const ConnectOptions& options) {
    net::SaveSetting(kApp, kOptions, QStringLiteral("Nickname"), options.Nickname);
    net::SaveSetting(kApp, kOptions, QStringLiteral("ConnectTo"), options.ConnectTo);
    net::SaveSetting(kApp, kOptions, QStringLiteral("ConnectToPort"), options.ConnectToPort);
}

} // namespace client
