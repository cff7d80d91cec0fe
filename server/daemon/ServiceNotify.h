// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Tells systemd about the service (Type=notify): ready, and reloading until ready
// again. Without libsystemd at build time, or outside a service, it does nothing.

namespace server {

// True when the service manager was told.
bool NotifyServiceReady();
bool NotifyServiceReloading();

} // namespace server
