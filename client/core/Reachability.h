// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Tells a reconnector when the system's network comes back or changes, so that
// a waiting attempt goes at once. Where the platform offers no such information
// (no backend, no NetworkManager on the bus) it does nothing.
namespace client {

class Reconnector;

// True when a backend reports reachability and the reconnector now listens to it.
bool WatchReachability(Reconnector& reconnector);

} // namespace client
