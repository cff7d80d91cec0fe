// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Shows a window minimised without taking the focus from what the user is
// typing: a private message or a file offer arriving mid-sentence must not steal
// the keystrokes that follow.
class QWidget;

namespace client {

// Asks the platform not to activate the window; should it do so anyway while the
// window is still minimised (some window managers and the offscreen platform do),
// the window the user was in gets the activation and its focus back. The user
// restoring the window ends the guard, and so does the first second passing.
void ShowMinimisedWithoutActivating(QWidget* window);

} // namespace client
