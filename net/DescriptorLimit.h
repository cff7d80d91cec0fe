// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every connection costs a file descriptor; the usual soft limit (1024) would
// cap the room long before its 32,766 slots.

namespace net {

// Raises the soft descriptor limit to the hard one. Returns the limit in force.
long RaiseDescriptorLimit();

} // namespace net
