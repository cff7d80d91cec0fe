// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/daemon/ServiceNotify.h"

#ifdef ZINDLE_HAVE_SYSTEMD
#include <systemd/sd-daemon.h>
#endif

namespace server {

bool NotifyServiceReady() {
#ifdef ZINDLE_HAVE_SYSTEMD
    // Unset NOTIFY_SOCKET afterwards: nothing we start should speak for us.
    return sd_notify(1, "READY=1") > 0;
#else
    return false;
#endif
}

} // namespace server
