// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Texts of the main window's caption.
#include <QString>

namespace client {

inline const QString kAwayCaptionPrefix = QStringLiteral("AWAY - ");

// "ZindleChat - [nick] [room] [vversion]"
QString SessionCaption(const QString& localNickname, const QString& roomName, const QString& serverVersion);

// Going away puts "AWAY - " in front; coming back removes it when it is there.
QString ApplyAwayPrefix(const QString& caption, bool away);

} // namespace client
