// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Pieces the main window and the private windows share: the transcript box and
// input line as both build them, their colours, and the rule that typing into a
// transcript goes to the input line.
#include <QtGlobal>

#include <functional>

class QAction;
class QKeyEvent;
class QLineEdit;
class QTextEdit;
class QToolBar;
class QWidget;

namespace client {

// The text-only toolbar "Toolbar1" of a conversation window.
QToolBar* NewToolbar(QWidget* parent);
// Adds button `index` ("Toolbar1_Button<index>"); a click calls onClick(index).
QAction* AddToolbarButton(QToolBar* toolbar, int index, const char* caption, const char* tip,
                          const std::function<void(int)>& onClick);

// Read-only rich text, Courier 9.75 pt.
QTextEdit* NewTranscriptBox(QWidget* parent);
// One line of at most 255 characters, Courier, single-byte text only.
QLineEdit* NewInputLine(QWidget* parent);
// Background and text colour of a box (colour integers r + 256 g + 65536 b).
void SetBoxColors(QWidget* box, qint64 background, qint64 text);

// A character typed while the transcript has the focus: the input line takes the
// focus and the character, replacing its selection. True when the key was such
// a character.
bool MoveTypingToInput(const QKeyEvent* event, QLineEdit* input);

} // namespace client
