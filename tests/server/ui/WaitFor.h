// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Runs the event loop until a condition holds or the time is up.
#include "tests/support/EventWait.h"

template <class Condition> bool WaitFor(Condition condition, int timeoutMs = 3000) {
    return zindletest::WaitUntil(condition, timeoutMs);
}
