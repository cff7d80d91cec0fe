// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Small helpers both programs use to make their windows work for assistive
// technology and from the keyboard: names, captions tied to their boxes, toolbar
// buttons in the tab chain and message boxes that are read in full.
#include <QString>

class QAccessibleEvent;
class QLabel;
class QMessageBox;
class QToolBar;
class QWidget;

namespace ui {

// The name a screen reader says for `widget`, and what it is for when that is
// not obvious from the name.
void SetAccessible(QWidget* widget, const QString& name, const QString& description = QString());

// Ties the caption label `caption` (a direct child of `parent`) to `box`: the box
// takes its name from the caption and the caption's mnemonic focuses the box.
// Returns the label, or nullptr when there is no such caption.
QLabel* TieCaption(QWidget* parent, const QString& caption, QWidget* box);

// The toolbar's buttons join the tab chain; the toolbar gets a name.
void ToolbarInTabChain(QToolBar* toolbar, const QString& name);

// A message box whose text is its description too, so a screen reader reads the
// whole message when the box appears, not only its title.
void ReadInFull(QMessageBox* box);

// Sends an alert about `window` to assistive technology (a message arrived there).
void RaiseAlert(QWidget* window);

// Every event the programs raise themselves goes through here to Qt, which hands
// it to assistive technology when some is listening. Tests put a recorder in
// its place (nullptr puts Qt back): without a screen reader Qt drops events.
using AccessibleEventSink = void (*)(QAccessibleEvent* event);
void SetAccessibleEventSink(AccessibleEventSink sink);
void SendAccessibleEvent(QAccessibleEvent* event);

} // namespace ui
