// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a test asks of the window manager, the way a user would: through xdotool,
// which sends the same requests a task bar or a click on a title bar sends.
#include <QStringList>

class QWidget;

namespace wmtest {

// Runs xdotool with these arguments; false when it fails or takes over 5 s.
bool Xdotool(const QStringList& args);

// Restores (and activates) a window through the window manager.
bool RestoreThroughWm(QWidget* window);
// Minimises a window through the window manager.
bool MinimiseThroughWm(QWidget* window);

// Waits (bounded) until the window manager has made this window the active one.
bool WaitActive(QWidget* window);

} // namespace wmtest
