// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TCP keepalive with short timings, so that a link that died without a word
// (a laptop that slept, a network that changed) is noticed within about 90
// seconds instead of when TCP gives up after many minutes.

namespace net {

// Idle seconds before the first probe, seconds between probes, probes lost
// before the connection counts as dead: 60 + 3 x 10 = 90 s.
inline constexpr int kKeepaliveIdleS = 60;
inline constexpr int kKeepaliveIntervalS = 10;
inline constexpr int kKeepaliveProbes = 3;

// Switches keepalive on for a connected TCP descriptor; false when the system
// refused an option (the connection works on without it).
bool EnableKeepalive(int fd);

} // namespace net
