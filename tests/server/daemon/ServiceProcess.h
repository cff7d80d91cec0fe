// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// zindlechatd as a service would run it, and zindlechatctl beside it, for tests.
#include "tests/server/core/RawClient.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <csignal>
#include <functional>

namespace service_test {

using testing_support::WaitFor;

inline quint16 FreePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::AnyIPv4, 0);
    return probe.serverPort();
}

// A daemon with a settings folder, a runtime folder (the control socket) and a
// state folder of its own, on a free port.
class Service {
public:
    explicit Service(QStringList extra = {},
                     QProcessEnvironment env = QProcessEnvironment::systemEnvironment(),
                     std::function<void()> childSetup = {})
        : port_(FreePort()) {
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dirs_.path());
        env.remove(QStringLiteral("RUNTIME_DIRECTORY"));
        env.remove(QStringLiteral("JOURNAL_STREAM"));
        process_.setProcessEnvironment(env);
        if (childSetup)
            process_.setChildProcessModifier(childSetup);
        args_ = QStringList{"--port",    QString::number(port_), "--control", ControlPath(), "--config",
                            ConfigPath()} +
                extra;
        QFile config(ConfigPath()); // named with --config, so it must be there
        config.open(QIODevice::WriteOnly);
    }
    ~Service() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(3000);
        }
    }
    QString ControlPath() const { return dirs_.filePath("control"); }
    QString ConfigPath() const { return dirs_.filePath("zindlechat-server.conf"); }
    QString Path(const QString& name) const { return dirs_.filePath(name); }
    quint16 Port() const { return port_; }
    void AddArgs(const QStringList& more) { args_ += more; }
    void Start(const QString& program = QStringLiteral(ZINDLE_DAEMON), QStringList before = {}) {
        out_.clear();
        err_.clear();
        process_.start(program, before + args_);
        process_.waitForStarted(5000);
    }
    bool WaitStarted() { return WaitOut("STATUS [0] Server is gestart!", 20000); }
    QString Out() {
        out_ += QString::fromUtf8(process_.readAllStandardOutput());
        return out_;
    }
    QString Err() {
        err_ += QString::fromUtf8(process_.readAllStandardError());
        return err_;
    }
    bool WaitOut(const QString& text, int ms = 5000) {
        WaitFor([&] { return Out().contains(text) || process_.state() == QProcess::NotRunning; }, ms);
        return Out().contains(text);
    }
    void Signal(int signal) { ::kill(static_cast<pid_t>(process_.processId()), signal); }
    // SIGTERM and the exit code (-1 when it did not end in time).
    int Stop() {
        Signal(SIGTERM);
        if (!process_.waitForFinished(10000))
            return -1;
        Out();
        return process_.exitCode();
    }
    bool Finished(int ms = 10000) { return process_.waitForFinished(ms); }
    QProcess& Process() { return process_; }

private:
    QTemporaryDir dirs_;
    quint16 port_;
    QStringList args_;
    QProcess process_;
    QString out_, err_;
};

struct CtlResult {
    int status = -1;
    QString out, err;
};

// zindlechatctl with the given words.
inline CtlResult Ctl(const QString& socket, const QStringList& words, std::function<void()> childSetup = {}) {
    QProcess ctl;
    if (childSetup)
        ctl.setChildProcessModifier(childSetup);
    ctl.start(QStringLiteral(ZINDLE_CTL), QStringList{"--socket", socket} + words);
    CtlResult r;
    if (!ctl.waitForFinished(20000))
        return r;
    r.status = ctl.exitStatus() == QProcess::NormalExit ? ctl.exitCode() : -1;
    r.out = QString::fromUtf8(ctl.readAllStandardOutput());
    r.err = QString::fromUtf8(ctl.readAllStandardError());
    return r;
}

} // namespace service_test
