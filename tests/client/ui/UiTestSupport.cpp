// SPDX-License-Identifier: GPL-3.0-or-later
#include "UiTestSupport.h"

#include "tests/support/EventWait.h"

#include <QApplication>
#include <QCoreApplication>
#include <QThread>

namespace testsupport {

bool WaitFor(const std::function<bool()>& pred, int timeoutMs) {
    return zindletest::WaitUntil(pred, timeoutMs);
}

void Pump(int ms) {
    zindletest::Pump(ms);
}

QByteArray Command(const std::string& body) {
    QByteArray out("\xFF\xFF", 2);
    out.append(body.data(), qsizetype(body.size()));
    out.append('\0');
    return out;
}

QByteArray Chat(const std::string& line) {
    QByteArray out(line.data(), qsizetype(line.size()));
    out.append('\0');
    return out;
}

ScriptedServer::ScriptedServer() {
    server.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&server, &QTcpServer::newConnection, &server, [this] {
        while (QTcpSocket* socket = server.nextPendingConnection()) {
            client = socket;
            QObject::connect(socket, &QTcpSocket::readyRead, socket,
                             [this, socket] { received.append(socket->readAll()); });
        }
    });
}

bool ScriptedServer::WaitConnected(int timeoutMs) {
    return testsupport::WaitFor([this] { return !client.isNull(); }, timeoutMs);
}

QByteArray ScriptedServer::Take() {
    QByteArray out;
    out.swap(received);
    return out;
}

QByteArray ScriptedServer::WaitFor(const QByteArray& needle, int timeoutMs) {
    testsupport::WaitFor([&] { return received.contains(needle); }, timeoutMs);
    return Take();
}

void ScriptedServer::Send(const QByteArray& bytes) {
    if (client) {
        client->write(bytes);
        client->flush();
    }
}

void ScriptedServer::CloseClient() {
    if (client)
        client->disconnectFromHost();
}

std::vector<QMessageBox*> VisibleMessageBoxes() {
    std::vector<QMessageBox*> boxes;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
            boxes.push_back(box);
    return boxes;
}

void CloseMessageBoxes() {
    for (QMessageBox* box : VisibleMessageBoxes())
        box->close();
    Pump(5);
}

client::Prompts RecordingPrompts::prompts() {
    client::Prompts p;
    p.notify = [this](QWidget*, QMessageBox::Icon icon, const QString& title, const QString& text) {
        notices.append({icon, title, text});
    };
    // These boxes never block, so the real one is shown: a test can see it stay up.
    p.notifyLater = [this, real = client::DefaultPrompts().notifyLater](
                        QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text) {
        notices.append({icon, title, text});
        return real(parent, icon, title, text);
    };
    p.pickColor = [this](QWidget*, const QColor& preset) { return nextColor.isValid() ? nextColor : preset; };
    p.showAbout = [this](QWidget*, const QString&) { ++aboutShown; };
    p.endProgram = [this] { ++programEnded; };
    return p;
}

} // namespace testsupport
