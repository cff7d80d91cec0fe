// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How far the server lets its connections go before it pushes back. The defaults
// sit far above what honest clients do; 0 switches a limit off where noted.
#include <cstddef>

namespace server {

struct ServerLimits {
    // Seconds a connection may take to log in before it is closed (0: no deadline).
    int loginTimeoutSeconds = 30;
    // Connections of one address that may wait to log in at once (0: no limit).
    // At the limit a newcomer takes the place of the one waiting longest.
    int maxPendingPerAddress = 64;
    // Users of one address that may be logged in at once (0: no limit).
    int maxUsersPerAddress = 0;
    // Unsent bytes the whole server may hold for its readers (0: no budget).
    std::size_t sendBudgetBytes = std::size_t(256) * 1024 * 1024;
    // Lines per second a user may send, with a burst (rate 0: no limit, neither
    // on lines nor on bytes).
    double floodRate = 50;
    int floodBurst = 200;
    // The same in bytes: well above typing and pasting, far below what makes
    // honest slow readers fall behind.
    double floodBytesPerSecond = 32 * 1024;
    std::size_t floodByteBurst = 256 * 1024;
};

} // namespace server
