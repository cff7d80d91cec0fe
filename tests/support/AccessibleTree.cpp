// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/AccessibleTree.h"

#include <QAccessible>
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QWidget>

namespace testsupport {

namespace {
bool Interactive(const QAccessibleInterface* iface) {
    switch (iface->role()) {
    case QAccessible::ScrollBar:
        return false; // a box's own scroll bars are part of the box
    case QAccessible::PushButton:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::EditableText:
    case QAccessible::ComboBox:
    case QAccessible::SpinBox:
    case QAccessible::Slider:
    case QAccessible::Dial:
    case QAccessible::List:
    case QAccessible::Table:
    case QAccessible::Tree:
    case QAccessible::ProgressBar:
    case QAccessible::ToolBar:
    case QAccessible::ButtonMenu:
    case QAccessible::ButtonDropDown:
    case QAccessible::PageTabList:
        return true;
    default:
        return iface->state().focusable;
    }
}

QString Describe(const QAccessibleInterface* iface) {
    const QObject* object = iface->object();
    QString what = object ? QString::fromLatin1(object->metaObject()->className()) : QStringLiteral("?");
    if (object && !object->objectName().isEmpty())
        what += QLatin1Char(' ') + object->objectName();
    const QObject* window =
        object && object->isWidgetType() ? static_cast<const QWidget*>(object)->window() : nullptr;
    if (window)
        what += QStringLiteral(" in ") + window->objectName();
    return what;
}

void Walk(QAccessibleInterface* iface, QStringList& faults, int depth) {
    if (!iface || depth > 64)
        return;
    QObject* object = iface->object();
    // Items of lists and tables are the list's content, named by their text.
    if (object && object->isWidgetType()) {
        if (Interactive(iface) && iface->text(QAccessible::Name).trimmed().isEmpty())
            faults << QStringLiteral("no name: %1 (role %2)").arg(Describe(iface)).arg(int(iface->role()));
        if (auto* label = qobject_cast<QLabel*>(object)) {
            const QString text = label->text().trimmed();
            if (text.endsWith(QLatin1Char(':')) && !label->buddy())
                faults << QStringLiteral("caption \"%1\" not tied to a box (%2)").arg(text, Describe(iface));
        }
    } else {
        return;
    }
    for (int i = 0; i < iface->childCount(); ++i)
        Walk(iface->child(i), faults, depth + 1);
}
} // namespace

QStringList AccessibilityFaults(QWidget* window) {
    QStringList faults;
    QAccessibleInterface* root = QAccessible::queryAccessibleInterface(window);
    if (!root)
        return {QStringLiteral("no accessible interface for ") + window->objectName()};
    Walk(root, faults, 0);
    return faults;
}

QStringList MenuFaults(const QMenu* menu) {
    QStringList faults;
    const auto actions = menu->actions();
    for (const QAction* action : actions) {
        if (action->isSeparator())
            continue;
        if (action->text().remove(QLatin1Char('&')).trimmed().isEmpty())
            faults << QStringLiteral("menu item without a name in ") + menu->objectName();
        if (action->menu())
            faults << MenuFaults(action->menu());
    }
    return faults;
}

namespace {
::testing::AssertionResult Verdict(const QStringList& faults) {
    if (faults.isEmpty())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << faults.join(QLatin1Char('\n')).toStdString();
}
} // namespace

::testing::AssertionResult Accessible(QWidget* window) {
    return Verdict(AccessibilityFaults(window));
}

::testing::AssertionResult AccessibleMenu(const QMenu* menu) {
    return Verdict(MenuFaults(menu));
}

} // namespace testsupport
