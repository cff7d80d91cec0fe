// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/headless/ControlServer.h"

#include "server/headless/CommandDesk.h"
#include "server/headless/ConsoleOutput.h"

#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>
#include <QVariant>
#include <algorithm>
#include <grp.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace server {

namespace {

std::optional<gid_t> GroupId(const QString& name) {
    const QByteArray n = name.toLocal8Bit();
    if (const group* g = ::getgrnam(n.constData()))
        return g->gr_gid;
    return std::nullopt;
}

// The peer user's supplementary groups include gid.
bool UserInGroup(uid_t uid, gid_t primary, gid_t gid) {
    const passwd* user = ::getpwuid(uid);
    if (!user)
        return false;
    int count = 64;
    std::vector<gid_t> groups(static_cast<std::size_t>(count), gid_t{});
    if (::getgrouplist(user->pw_name, primary, groups.data(), &count) < 0) {
        groups.resize(std::size_t(count));
        if (::getgrouplist(user->pw_name, primary, groups.data(), &count) < 0)
            return false;
    }
    groups.resize(std::size_t(count));
    return std::find(groups.begin(), groups.end(), gid) != groups.end();
}

QByteArray AnswerBytes(const CommandAnswer& answer) {
    QByteArray bytes;
    const auto add = [&](char tag, const QString& text) {
        const QStringList lines = text.split(u'\n');
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (i == lines.size() - 1 && lines[i].isEmpty())
                break; // the text's own last line end
            bytes += tag;
            bytes += ' ';
            bytes += lines[i].toUtf8();
            bytes += '\n';
        }
    };
    add('O', EscapeForTerminal(answer.out)); // nicknames come from the network
    add('E', answer.err);
    bytes += answer.err.isEmpty() ? "= 0\n" : "= 1\n";
    return bytes;
}

} // namespace

bool ValidCommandLine(const QByteArray& line) {
    const QString text = QString::fromUtf8(line);
    if (text.toUtf8() != line)
        return false; // not UTF-8
    for (const QChar c : text)
        if (c.unicode() < 0x20 && c != u'\t')
            return false;
    return true;
}

QString DefaultControlPath() {
    // systemd sets RUNTIME_DIRECTORY from RuntimeDirectory= (a list: take the first).
    const QString runtime = qEnvironmentVariable("RUNTIME_DIRECTORY").section(u':', 0, 0);
    return runtime.isEmpty() ? QString() : runtime + QStringLiteral("/control");
}

ControlServer::ControlServer(CommandDesk& desk, std::function<void()> onQuit, QObject* parent)
    : QObject(parent), desk_(desk), onQuit_(std::move(onQuit)), server_(new QLocalServer(this)) {
    connect(server_, &QLocalServer::newConnection, this, &ControlServer::Accept);
}

ControlServer::~ControlServer() {
    if (server_->isListening()) {
        server_->close();
        QFile::remove(path_);
    }
}

bool ControlServer::Listen(const QString& path, const QString& group, QString* error) {
    if (!group.isEmpty()) {
        group_ = GroupId(group);
        if (!group_) {
            *error = QStringLiteral("Onbekende groep \"%1\" voor de besturingssocket").arg(group);
            return false;
        }
    }
    QLocalServer::removeServer(path); // a socket left by a server that did not end cleanly
    // Created owner-only from the start: no moment in which others could connect.
    const mode_t previous = ::umask(077);
    const bool listening = server_->listen(path);
    ::umask(previous);
    if (!listening) {
        *error = QStringLiteral("Kan de besturingssocket \"%1\" niet openen: %2")
                     .arg(path, server_->errorString());
        return false;
    }
    path_ = path;
    if (group_) {
        const QByteArray p = path.toLocal8Bit();
        if (::chown(p.constData(), uid_t(-1), *group_) != 0 || ::chmod(p.constData(), 0660) != 0) {
            *error =
                QStringLiteral("Kan de besturingssocket \"%1\" niet aan groep \"%2\" geven").arg(path, group);
            server_->close();
            QFile::remove(path);
            return false;
        }
    }
    return true;
}

bool ControlServer::PeerAllowed(uid_t uid, gid_t gid, uid_t self, std::optional<gid_t> group) {
    if (uid == 0 || uid == self)
        return true;
    return group && (gid == *group || UserInGroup(uid, gid, *group));
}

bool ControlServer::Allowed(QLocalSocket* socket) const {
    ucred cred{};
    socklen_t size = sizeof cred;
    if (::getsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &cred, &size) != 0)
        return false;
    return PeerAllowed(cred.uid, cred.gid, ::geteuid(), group_);
}

void ControlServer::Accept() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (clients_ >= kMaxClients || !Allowed(socket)) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++clients_;
        connect(socket, &QObject::destroyed, this, [this] { --clients_; });
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { Read(socket); });
        QTimer::singleShot(kIdleMs, socket, [socket] { socket->abort(); });
    }
}

void ControlServer::Read(QLocalSocket* socket) {
    if (socket->property("answered").toBool()) {
        socket->readAll();
        return;
    }
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > kMaxCommand) {
            CommandAnswer tooLong;
            tooLong.err = QStringLiteral("Commando te lang (meer dan %1 bytes)\n").arg(kMaxCommand);
            Answer(socket, tooLong);
        }
        return;
    }
    QByteArray line = socket->readLine(kMaxCommand + 2);
    if (!line.endsWith('\n')) {
        CommandAnswer tooLong;
        tooLong.err = QStringLiteral("Commando te lang (meer dan %1 bytes)\n").arg(kMaxCommand);
        Answer(socket, tooLong);
        return;
    }
    line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    socket->setProperty("answered", true);
    if (!ValidCommandLine(line)) {
        CommandAnswer bad;
        bad.err = QStringLiteral("Ongeldig commando: alleen tekst in UTF-8 op één regel\n");
        Answer(socket, bad);
        return;
    }
    QPointer<QLocalSocket> guard(socket);
    desk_.Run(line, socket, [this, guard](const CommandAnswer& answer) {
        if (guard)
            Answer(guard, answer);
        if (answer.quit && onQuit_)
            onQuit_();
    });
}

void ControlServer::Answer(QLocalSocket* socket, const CommandAnswer& answer) {
    socket->setProperty("answered", true);
    socket->write(AnswerBytes(answer));
    socket->flush();
    socket->disconnectFromServer();
}

} // namespace server
