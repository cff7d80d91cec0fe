// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/core/SessionCaption.h"

namespace client {

QString SessionCaption(const QString& localNickname, const QString& roomName, const QString& serverVersion) {
    return QStringLiteral("ZindleChat - [") + localNickname + QStringLiteral("] [") + roomName +
           QStringLiteral("] [v") + serverVersion + QStringLiteral("]");
}

QString ApplyAwayPrefix(const QString& caption, bool away) {
    if (away)
        return kAwayCaptionPrefix + caption;
    return caption.startsWith(kAwayCaptionPrefix) ? caption.mid(kAwayCaptionPrefix.size()) : caption;
}

} // namespace client
