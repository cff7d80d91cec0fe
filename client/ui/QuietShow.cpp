// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/ui/QuietShow.h"

#include <QApplication>
#include <QEvent>
#include <QLayout>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace client {

namespace {

constexpr int kGuardMs = 1000;

class ActivationGuard : public QObject {
public:
    ActivationGuard(QWidget* window, QWidget* previousWindow, QWidget* previousFocus)
        : QObject(window), window(window), previousWindow(previousWindow), previousFocus(previousFocus) {
        window->installEventFilter(this);
        QTimer::singleShot(kGuardMs, this, &QObject::deleteLater);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != window)
            return false;
        if (event->type() == QEvent::WindowActivate && window->isMinimized() && previousWindow) {
            previousWindow->activateWindow();
            if (previousFocus)
                previousFocus->setFocus(Qt::ActiveWindowFocusReason);
        } else if (event->type() == QEvent::WindowStateChange && !window->isMinimized()) {
            deleteLater(); // the user brought it up: it may have the focus now
        }
        return false;
    }

private:
    QWidget* window;
    QPointer<QWidget> previousWindow;
    QPointer<QWidget> previousFocus;
};

} // namespace

void ShowMinimisedWithoutActivating(QWidget* window) {
    QWidget* previousWindow = QApplication::activeWindow();
    QWidget* previousFocus = QApplication::focusWidget();
    window->setAttribute(Qt::WA_ShowWithoutActivating);
    // A window smaller than its layout needs is resized while it is being shown,
    // and a window manager (openbox) may then map it restored and active after
    // all: it gets the size it needs first.
    if (QLayout* layout = window->layout())
        layout->activate();
    window->resize(window->size().expandedTo(window->minimumSizeHint()));
    window->showMinimized();
    if (previousWindow && previousWindow != window)
        new ActivationGuard(window, previousWindow, previousFocus);
}

} // namespace client
