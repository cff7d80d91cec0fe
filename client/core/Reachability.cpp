// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/core/Reachability.h"

#include "client/core/Reconnector.h"

#include <QNetworkInformation>

namespace client {

bool WatchReachability(Reconnector& reconnector) {
    if (!QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability))
        return false;
    QNetworkInformation* info = QNetworkInformation::instance();
    if (!info)
        return false;
    QObject::connect(info, &QNetworkInformation::reachabilityChanged, &reconnector,
                     [&reconnector](QNetworkInformation::Reachability now) {
                         // Only a network that is there again is worth trying at once.
                         if (now == QNetworkInformation::Reachability::Online ||
                             now == QNetworkInformation::Reachability::Site)
                             reconnector.networkChanged();
                     });
    return true;
}

} // namespace client
