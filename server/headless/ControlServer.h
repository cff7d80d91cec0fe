// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The control socket: the console's commands for a server that has no terminal
// (a service), over a Unix socket that only the server's own user, root and,
// when asked, the members of one group may use. The socket file is created
// owner-only (0600; 0660 and that group when a group is given) and every peer's
// credentials are checked again when it connects.
//
// One command per connection: the client sends one line; the answer comes as
// lines "O text" (what the console prints) and "E text" (its mistakes), ended by
// "= 0" (done) or "= 1" (a mistake was reported), and the server closes.
// zindlechatctl speaks this.
#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>
#include <sys/types.h>

class QLocalServer;
class QLocalSocket;

namespace server {

class CommandDesk;
struct CommandAnswer;

class ControlServer : public QObject {
    Q_OBJECT
public:
    // A line longer than this is refused.
    static constexpr qsizetype kMaxCommand = 4096;
    // Connections served at once; more are closed at once.
    static constexpr int kMaxClients = 64;
    // A client that sends no whole line in this time is closed.
    static constexpr int kIdleMs = 10000;

    // onQuit runs after the answer to "quit" has been handed to the socket.
    ControlServer(CommandDesk& desk, std::function<void()> onQuit, QObject* parent = nullptr);
    ~ControlServer() override;

    // Listens on path (a stale socket file there is replaced). group: a group
    // name whose members may use it too. False with a readable reason.
    bool Listen(const QString& path, const QString& group, QString* error);
    QString Path() const { return path_; }

    // The peer's credentials against the rule above (own user, root, group).
    static bool PeerAllowed(uid_t uid, gid_t gid, uid_t self, std::optional<gid_t> group);

private:
    void Accept();
    void Read(QLocalSocket* socket);
    void Answer(QLocalSocket* socket, const CommandAnswer& answer);
    bool Allowed(QLocalSocket* socket) const;

    CommandDesk& desk_;
    std::function<void()> onQuit_;
    QLocalServer* server_ = nullptr;
    QString path_;
    std::optional<gid_t> group_;
    int clients_ = 0;
};

// Where the control socket lives when none is named: the service's runtime
// folder ($RUNTIME_DIRECTORY/control), else empty (no control socket).
QString DefaultControlPath();

// One line of a command as it may travel: printable text without line breaks.
bool ValidCommandLine(const QByteArray& line);

} // namespace server
