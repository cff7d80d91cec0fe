// SPDX-License-Identifier: GPL-3.0-or-later
// zindle_server_gui_bench: the server with its windows, driven the way an
// operator would: port typed, "Start" pressed, the log window opened, chat
// logging switched on. It then serves until the time limit or SIGTERM, so that a
// load generator can measure the window server as people run it.
//
//   zindle_server_gui_bench --port N [--chat-log on|off] [--seconds S]
#include "server/core/ServerCore.h"
#include "server/ui/frmLog.h"
#include "server/ui/frmMain.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <unistd.h>

namespace {
// A signal handler may only write to a pipe; the event loop reads it and quits.
int gSignalPipe[2] = {-1, -1};
void OnSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(gSignalPipe[1], &byte, 1);
}
} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QString port;
    bool chatLog = true;
    int seconds = 600;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view key = argv[i];
        if (key == "--port")
            port = QString::fromLatin1(argv[i + 1]);
        else if (key == "--chat-log")
            chatLog = std::strcmp(argv[i + 1], "off") != 0;
        else if (key == "--seconds")
            seconds = std::max(1, std::min(3600, std::atoi(argv[i + 1])));
    }
    if (port.isEmpty()) {
        std::fprintf(stderr, "gebruik: zindle_server_gui_bench --port N [--chat-log on|off] [--seconds S]\n");
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName("ZindleChatServer");
    server::ServerCore core;
    server::frmMain window(core);
    // Nothing may wait for a person: no message boxes, and no question at the end.
    window.MsgBox = [](QWidget*, QMessageBox::Icon, const QString& title, const QString& text,
                       QMessageBox::StandardButtons) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
        return QMessageBox::Yes;
    };
    window.show();
    // The load clients send as fast as they can: no flood limit here.
    server::ServerLimits limits = core.Limits();
    limits.floodRate = 0;
    core.setLimits(limits);

    window.txtPort->setText(port);
    window.cmdServerStart->click();
    if (!core.Listening()) {
        std::fprintf(stderr, "FOUT: de server luistert niet op poort %s\n", qPrintable(port));
        return 3;
    }
    window.cmdLog->click();
    if (core.ChatLog() != chatLog)
        core.setChatLog(chatLog);
    std::printf("luistert op %u, logvenster %s, chat loggen %s\n", core.ListeningPort(),
                window.LogWindow() && window.LogWindow()->isVisible() ? "open" : "dicht",
                core.ChatLog() ? "aan" : "uit");
    std::fflush(stdout);

    if (::pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return 3;
    QSocketNotifier quitNotifier(gSignalPipe[0], QSocketNotifier::Read);
    QObject::connect(&quitNotifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGINT, OnSignal);
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    window.EndProgram = [] {};
    return QApplication::exec();
}
