// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Helpers for the window tests: a bounded wait, a scripted chat server on
// 127.0.0.1 that plays the server's bytes, and prompts that never block.
#include "client/ui/Prompts.h"
#include <QByteArray>
#include <QColor>
#include <QElapsedTimer>
#include <QPointer>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <functional>
#include <string>
#include <vector>

namespace testsupport {

// Runs the event loop until pred() holds or timeoutMs has passed.
bool WaitFor(const std::function<bool()>& pred, int timeoutMs = 3000);
// Lets the event loop run for about ms milliseconds.
void Pump(int ms);

// Frames a message the way the server does: 0xFF 0xFF for a command, NUL at the end.
QByteArray Command(const std::string& body);
QByteArray Chat(const std::string& line);

// A chat server that the test scripts byte by byte.
class ScriptedServer {
public:
    ScriptedServer();
    quint16 port() const { return server.serverPort(); }

    bool WaitConnected(int timeoutMs = 3000);
    // Everything the client sent since the last take.
    QByteArray Take();
    // Waits until the received bytes hold `needle`, then takes them all.
    QByteArray WaitFor(const QByteArray& needle, int timeoutMs = 3000);
    void Send(const QByteArray& bytes);
    void CloseClient();

    QTcpServer server;
    QPointer<QTcpSocket> client;
    QByteArray received;
};

// The message boxes on screen now, and closing them all.
std::vector<QMessageBox*> VisibleMessageBoxes();
void CloseMessageBoxes();

struct Notice {
    QMessageBox::Icon icon;
    QString title, text;
};

// Records what the windows would have shown.
struct RecordingPrompts {
    QList<Notice> notices;
    QColor nextColor; // what the colour dialog "chooses"; invalid = dismissed
    int aboutShown = 0;
    int programEnded = 0;

    client::Prompts prompts();
};

} // namespace testsupport
