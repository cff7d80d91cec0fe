// SPDX-License-Identifier: GPL-3.0-or-later
#include "about/Accessibility.h"

#include <QAccessible>
#include <QLabel>
#include <QMessageBox>
#include <QToolBar>
#include <QToolButton>

namespace ui {

void SetAccessible(QWidget* widget, const QString& name, const QString& description) {
    if (!widget)
        return;
    widget->setAccessibleName(name);
    if (!description.isEmpty())
        widget->setAccessibleDescription(description);
}

QLabel* TieCaption(QWidget* parent, const QString& caption, QWidget* box) {
    if (!parent || !box)
        return nullptr;
    const auto labels = parent->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
    for (QLabel* label : labels) {
        if (label->text() != caption)
            continue;
        label->setBuddy(box);
        // Qt names a line edit after its buddy label, not every other widget:
        // the name is set as well, without the colon.
        if (box->accessibleName().isEmpty())
            box->setAccessibleName(
                QString(caption).remove(QLatin1Char('&')).remove(QLatin1Char(':')).trimmed());
        return label;
    }
    return nullptr;
}

void ToolbarInTabChain(QToolBar* toolbar, const QString& name) {
    toolbar->setAccessibleName(name);
    toolbar->setWindowTitle(name);
    const auto buttons = toolbar->findChildren<QToolButton*>();
    for (QToolButton* button : buttons) {
        if (button->objectName() == QLatin1String("qt_toolbar_ext_button")) {
            button->setAccessibleName(QStringLiteral("Meer knoppen"));
            continue;
        }
        button->setFocusPolicy(Qt::TabFocus);
    }
}

void ReadInFull(QMessageBox* box) {
    QString text = box->text();
    if (!box->informativeText().isEmpty())
        text += QLatin1Char('\n') + box->informativeText();
    box->setAccessibleDescription(text);
}

void RaiseAlert(QWidget* window) {
    QAccessibleEvent event(window, QAccessible::Alert);
    SendAccessibleEvent(&event);
}

namespace {
AccessibleEventSink eventSink = nullptr;
}

void SetAccessibleEventSink(AccessibleEventSink sink) {
    eventSink = sink;
}

void SendAccessibleEvent(QAccessibleEvent* event) {
    if (eventSink)
        eventSink(event);
    else
        QAccessible::updateAccessibility(event);
}

} // namespace ui
