// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The chat input line takes every character but NUL (which would end a message
// early). While UTF-8 is switched off, characters that will leave as "?" are
// marked in the line itself, red and wavy-underlined, before they are sent.
class QLineEdit;

namespace client {

void MakeChatInput(QLineEdit* line);
// Marks again, after the UTF-8 switch changed.
void MarkUnsendable(QLineEdit* line);

} // namespace client
