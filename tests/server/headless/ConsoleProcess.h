// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The console server started as a process for a test, with its output collected.
#include "tests/server/core/RawClient.h"

#include <QProcess>
#include <QTcpServer>
#include <functional>

namespace testing_support {

inline quint16 FreePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::AnyIPv4, 0);
    return probe.serverPort();
}

class Console {
public:
    // childSetup runs in the child between fork and exec (limits, redirections).
    explicit Console(const QStringList& args, std::function<void()> childSetup = {}) {
        if (childSetup)
            process_.setChildProcessModifier(childSetup);
        process_.start(QStringLiteral(ZINDLE_HEADLESS_PROBE), args);
        process_.waitForStarted(3000);
    }
    ~Console() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(3000);
        }
    }
    QString Out() {
        out_ += QString::fromUtf8(process_.readAllStandardOutput());
        return out_;
    }
    QString Err() {
        err_ += QString::fromUtf8(process_.readAllStandardError());
        return err_;
    }
    bool WaitOut(const QString& text, int ms = 4000) {
        return WaitFor([&] { return Out().contains(text); }, ms);
    }
    bool WaitErr(const QString& text, int ms = 4000) {
        return WaitFor([&] { return Err().contains(text); }, ms);
    }
    void Command(const QString& line) { process_.write((line + u'\n').toUtf8()); }
    bool Finished(int ms = 5000) {
        return WaitFor([&] { return process_.state() == QProcess::NotRunning; }, ms);
    }
    QProcess& Process() { return process_; }

private:
    QProcess process_;
    QString out_, err_;
};

} // namespace testing_support
