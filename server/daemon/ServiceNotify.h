// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Tells systemd that the service is ready (Type=notify). Without libsystemd at
// build time, or outside a service, it does nothing.

namespace server {

// True when the service manager was told.
bool NotifyServiceReady();

} // namespace server
