// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/ui/TextZoom.h"

#include "client/core/AccessibilitySettings.h"
#include <QCoreApplication>
#include <QEvent>
#include <QKeySequence>
#include <QResizeEvent>
#include <QShortcut>
#include <QWidget>
#include <algorithm>

namespace client {

namespace {
const char* const kBaseSize = "zindleBasePointSize";
}

TextZoom::TextZoom(QObject* parent, int steps)
    : QObject(parent),
      steps_(std::clamp(steps, AccessibilitySettings::kMinZoom, AccessibilitySettings::kMaxZoom)) {
    setObjectName(QStringLiteral("TextZoom"));
}

void TextZoom::addWindow(QWidget* window, std::initializer_list<QWidget*> boxes) {
    auto key = [this, window](const QKeySequence& keys, auto handler) {
        auto* shortcut = new QShortcut(keys, window);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, handler);
    };
    // Ctrl+= too: on many keyboards the plus needs Shift on the same key.
    key(QKeySequence(Qt::CTRL | Qt::Key_Plus), [this] { zoomBy(1); });
    key(QKeySequence(Qt::CTRL | Qt::Key_Equal), [this] { zoomBy(1); });
    key(QKeySequence(Qt::CTRL | Qt::Key_Minus), [this] { zoomBy(-1); });
    key(QKeySequence(Qt::CTRL | Qt::Key_0), [this] { reset(); });
    for (QWidget* box : boxes) {
        box->setProperty(kBaseSize, box->font().pointSizeF());
        boxes_.append(box);
        apply(box);
    }
}

void TextZoom::zoomBy(int delta) {
    set(std::clamp(steps_ + delta, AccessibilitySettings::kMinZoom, AccessibilitySettings::kMaxZoom));
}

void TextZoom::reset() {
    set(0);
}

void TextZoom::set(int steps) {
    if (steps == steps_)
        return;
    steps_ = steps;
    boxes_.removeAll(nullptr);
    QList<QWidget*> windows;
    for (const auto& box : boxes_) {
        apply(box);
        if (!windows.contains(box->window()))
            windows.append(box->window());
    }
    // The windows place their boxes on a resize; an input line's height follows its font.
    for (QWidget* window : windows) {
        QResizeEvent event(window->size(), window->size());
        QCoreApplication::sendEvent(window, &event);
    }
    emit changed(steps_);
}

void TextZoom::apply(QWidget* box) const {
    QFont font = box->font();
    font.setPointSizeF(box->property(kBaseSize).toDouble() + steps_);
    box->setFont(font);
}

} // namespace client
