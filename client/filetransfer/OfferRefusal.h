// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Offers beyond what the user can follow are refused without a window: a
// short-lived connection to the offering client says "DENY" and goes.
#include <QString>

namespace client {

// Receive windows open at once; a further offer is refused.
inline constexpr int kMaxReceiveWindows = 20;

// Connects to the offering client, sends "DENY" and closes. Gives up after a
// few seconds when the connection is not made; nothing waits for it. Only a
// few refusals run at once; offers beyond them go unanswered.
void RefuseOffer(const QString& host, quint16 port);

// The transcript line that tells the user an offer was refused.
QString OfferRefusedLine(const QString& remoteUser);

} // namespace client
