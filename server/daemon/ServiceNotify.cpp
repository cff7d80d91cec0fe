// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/daemon/ServiceNotify.h"

#ifdef ZINDLE_HAVE_SYSTEMD
#include <ctime>
#include <systemd/sd-daemon.h>
#endif

namespace server {

bool NotifyServiceReady() {
#ifdef ZINDLE_HAVE_SYSTEMD
    // NOTIFY_SOCKET stays: READY=1 is said again after each reload.
    return sd_notify(0, "READY=1") > 0;
#else
    return false;
#endif
}

bool NotifyServiceReloading() {
#ifdef ZINDLE_HAVE_SYSTEMD
    // Newer service managers want the time the reload began with it.
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const unsigned long long usec = static_cast<unsigned long long>(now.tv_sec) * 1000000ULL +
                                    static_cast<unsigned long long>(now.tv_nsec) / 1000;
    return sd_notifyf(0, "RELOADING=1\nMONOTONIC_USEC=%llu", usec) > 0;
#else
    return false;
#endif
}

} // namespace server
