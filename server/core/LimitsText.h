// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The limits as text, the way the command line and the settings file give them:
//   login timeout S (seconds), pending per address N, send budget MIB, flood
//   limit "R" or "R/B" (lines per second, burst; burst 4 x R when left out), and
//   the log level "all" or "events". 0 switches a limit off.
#include "server/core/ServerLimits.h"

#include <QString>

namespace server {

struct ServerSettings;

bool ParseLoginTimeout(const QString& text, int* seconds);
bool ParseMaxPending(const QString& text, int* count);
bool ParseSendBudget(const QString& mib, std::size_t* bytes);
bool ParseFloodLimit(const QString& text, double* rate, int* burst);
// "all": every message is logged; "events": the per-message lines are left out.
bool ParseLogLevel(const QString& text, bool* all);

// The stored limits over the defaults; values that do not read are left out.
ServerLimits LimitsFromSettings(const ServerSettings& stored);

} // namespace server
