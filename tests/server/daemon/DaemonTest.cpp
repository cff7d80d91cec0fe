// SPDX-License-Identifier: GPL-3.0-or-later
// zindlechatd under a stand-in service manager: it says READY=1 on the notify
// socket only once its port takes connections, never when it cannot listen,
// and it ends cleanly on SIGTERM.
#include "tests/server/daemon/NotifySocket.h"
#include "tests/support/EventWait.h"

#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <csignal>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

quint16 FreePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::AnyIPv4, 0);
    return probe.serverPort();
}

class Daemon {
public:
    Daemon(const NotifySocket& notify, quint16 port) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("NOTIFY_SOCKET"), notify.Path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config_.path());
        process_.setProcessEnvironment(env);
        process_.start(QStringLiteral(ZINDLE_DAEMON), {QStringLiteral("--port"), QString::number(port)});
        process_.waitForStarted(5000);
    }
    ~Daemon() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(3000);
        }
    }
    QProcess& Process() { return process_; }

private:
    QTemporaryDir config_;
    QProcess process_;
};

bool Accepts(quint16 port) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    return socket.waitForConnected(3000);
}

class DaemonTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!ZINDLE_SERVICE_NOTIFY)
            GTEST_SKIP() << "built without libsystemd: the daemon reports no readiness";
        ASSERT_TRUE(notify_.Bound());
    }
    NotifySocket notify_;
};

TEST_F(DaemonTest, ReadyOnlyOnceListeningAndStopsOnSigterm) {
    const quint16 port = FreePort();
    Daemon daemon(notify_, port);
    ASSERT_TRUE(zindletest::WaitUntil([&] { return !notify_.Read().isEmpty(); }, 20000))
        << daemon.Process().readAllStandardError().toStdString();
    // The notice came after the listen, so the port answers right away.
    EXPECT_TRUE(Accepts(port));
    EXPECT_EQ(notify_.Read(), QByteArray("READY=1\n"));
    QByteArray out;
    EXPECT_TRUE(zindletest::WaitUntil([&] {
        out += daemon.Process().readAllStandardOutput();
        return out.contains("STATUS [0] Server is gestart!");
    }));

    ::kill(static_cast<pid_t>(daemon.Process().processId()), SIGTERM);
    ASSERT_TRUE(daemon.Process().waitForFinished(10000));
    EXPECT_EQ(daemon.Process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(daemon.Process().exitCode(), 0) << daemon.Process().readAllStandardError().toStdString();
    EXPECT_EQ(notify_.Read(), QByteArray("READY=1\n")); // said once
}

TEST_F(DaemonTest, NoReadinessWhenThePortIsTaken) {
    QTcpServer occupier;
    ASSERT_TRUE(occupier.listen(QHostAddress::AnyIPv4, 0));
    Daemon daemon(notify_, occupier.serverPort());
    ASSERT_TRUE(daemon.Process().waitForFinished(10000));
    EXPECT_EQ(daemon.Process().exitCode(), 1);
    EXPECT_TRUE(notify_.Read().isEmpty());
}

// The daemon's help names the daemon and offers no window.
TEST(DaemonHelp, NamesTheDaemon) {
    QProcess process;
    process.start(QStringLiteral(ZINDLE_DAEMON), {QStringLiteral("--help")});
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitCode(), 0);
    const QByteArray text = process.readAllStandardOutput();
    EXPECT_TRUE(text.startsWith("Gebruik: zindlechatd [opties]")) << text.toStdString();
    EXPECT_FALSE(text.contains("--headless"));
    EXPECT_TRUE(text.contains("--password-file PAD"));
}

} // namespace
