// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The conversation log of one client: every line of the room and of each
// private conversation, to its file of the day (see ConversationLog.h), through
// the log writer's thread. A failure is reported once through failed().
#include <QDateTime>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

namespace client {

class LogWriter;

class ConversationLogger : public QObject {
    Q_OBJECT
public:
    explicit ConversationLogger(QObject* parent = nullptr);
    ~ConversationLogger() override;

    // Host and port of the session: the folder of its logs.
    void setServer(const QString& server) { server_ = server; }
    void setRoot(const QString& root) { root_ = root; }
    void setClock(std::function<QDateTime()> now) { now_ = std::move(now); }

    // `partner` empty means the room.
    void log(const QString& partner, const QString& strData);
    // Writes again after a failure.
    void resume();
    LogWriter& writer() { return *writer_; }

signals:
    void failed(const QString& path);

private:
    QString root_;
    QString server_;
    std::function<QDateTime()> now_;
    std::unique_ptr<LogWriter> writer_;
};

} // namespace client
