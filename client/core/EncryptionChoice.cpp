// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/core/EncryptionChoice.h"

#include "net/SettingsStore.h"

namespace client {

namespace {
const QString kApp = QStringLiteral("ZindleChat");
const QString kOptions = QStringLiteral("Options");
const QString kKey = QStringLiteral("Encrypted");
} // namespace

bool LoadEncryptionChoice() {
    return net::GetSetting(kApp, kOptions, kKey, QStringLiteral("-1")) != QStringLiteral("0");
}

void SaveEncryptionChoice(bool on) {
    net::SaveSetting(kApp, kOptions, kKey, on ? QStringLiteral("-1") : QStringLiteral("0"));
}

} // namespace client
