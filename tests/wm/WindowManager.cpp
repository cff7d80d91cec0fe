// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowManager.h"

#include "tests/support/EventWait.h"
#include <QApplication>
#include <QProcess>
#include <QWidget>

namespace wmtest {

bool Xdotool(const QStringList& args) {
    QProcess process;
    process.start(QStringLiteral("xdotool"), args);
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(1000);
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool RestoreThroughWm(QWidget* window) {
    return Xdotool({QStringLiteral("windowactivate"), QString::number(window->winId())});
}

bool MinimiseThroughWm(QWidget* window) {
    return Xdotool({QStringLiteral("windowminimize"), QString::number(window->winId())});
}

bool WaitActive(QWidget* window) {
    return zindletest::WaitUntil([window] { return QApplication::activeWindow() == window; }, 5000);
}

} // namespace wmtest
