// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Names for assistive technology in the two file windows, and their captions
// tied to the boxes they describe. Called at the end of each window's set-up.
class QWidget;

namespace client {

void MakeSendWindowAccessible(QWidget* window);
void MakeReceiveWindowAccessible(QWidget* window);

} // namespace client
