// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The line in both file windows that says a file goes straight between the two
// clients without encryption, even when the chat itself is encrypted.
class QLabel;
class QWidget;

QLabel* PlainTransferNote(QWidget* parent);
