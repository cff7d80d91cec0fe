// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The connect dialog's three boxes as the settings store keeps them: application
// "ZindleChat", section "Options". The room password is never stored.
#include <QString>

namespace client {

struct ConnectOptions {
    QString Nickname, ConnectTo, ConnectToPort;
};

// Empty texts where nothing is stored; the dialog fills in its own defaults.
ConnectOptions LoadConnectOptions();
void SaveConnectOptions(const ConnectOptions& options);

} // namespace client
