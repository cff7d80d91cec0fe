// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Walks a window's tree as assistive technology sees it and lists what a screen
// reader user would trip over: a control that can take the focus or be used
// without a name, and a caption ("...:") not tied to the box it describes. It
// finds the controls itself, so controls added later are checked too.
#include <QStringList>
#include <gtest/gtest.h>

class QMenu;
class QWidget;

namespace testsupport {

// One line per fault, empty when the window is fine.
QStringList AccessibilityFaults(QWidget* window);
// Items of a menu (and its submenus) without a name.
QStringList MenuFaults(const QMenu* menu);

// For EXPECT_TRUE: the faults, one a line, as the failure message.
::testing::AssertionResult Accessible(QWidget* window);
::testing::AssertionResult AccessibleMenu(const QMenu* menu);

} // namespace testsupport
