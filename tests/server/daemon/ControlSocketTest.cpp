// SPDX-License-Identifier: GPL-3.0-or-later
// The control socket end to end: zindlechatctl against a real daemon, each
// console command with its answer and exit status, peers that are refused,
// commands that are malformed or too long, and many clients at once.
#include "tests/server/daemon/ServiceProcess.h"

#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace service_test;
using testing_support::Cmd;
using testing_support::RawClient;

namespace {

QByteArray Ask(const QString& path, const QByteArray& bytes) {
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(3000))
        return "niet verbonden";
    socket.write(bytes);
    socket.flush();
    QByteArray all;
    while (socket.state() == QLocalSocket::ConnectedState && socket.waitForReadyRead(5000))
        all += socket.readAll();
    return all + socket.readAll();
}

TEST(ControlSocketTest, EveryCommandWithTheConsolesAnswers) {
    Service s({"--name", "Huiskamer"});
    s.Start();
    ASSERT_TRUE(s.WaitStarted()) << s.Err().toStdString();
    EXPECT_EQ(QFileInfo(s.ControlPath()).permissions() &
                  (QFile::ReadGroup | QFile::ReadOther | QFile::WriteOther),
              QFile::Permissions())
        << "owner-only";

    RawClient anna, bob;
    ASSERT_TRUE(anna.Connect(s.Port()));
    ASSERT_TRUE(anna.Login("anna"));
    ASSERT_TRUE(bob.Connect(s.Port()));
    ASSERT_TRUE(bob.Login("bob"));

    CtlResult r = Ctl(s.ControlPath(), {"users"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "1#anna\n2#bob\n2 gebruiker(s) ingelogd, 2 verbinding(en)\n");
    r = Ctl(s.ControlPath(), {"info", "1"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.contains("Nickname: anna")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("IP-Adres: 127.0.0.1")) << r.out.toStdString();
    r = Ctl(s.ControlPath(), {"name", "Nieuwe", "naam"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(anna.WaitForMessage(Cmd("SINFNieuwe naam#0.2.0004")));
    r = Ctl(s.ControlPath(), {"motd", "Hallo\\nallemaal"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(anna.WaitForMessage(Cmd("MOTDHallo\r\nallemaal")));
    r = Ctl(s.ControlPath(), {"kick", "2"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(bob.WaitForClose());
    r = Ctl(s.ControlPath(), {"kick", "2"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Geen verbinding met nummer 2\n");
    r = Ctl(s.ControlPath(), {"ban", "1"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(anna.WaitForClose());
    r = Ctl(s.ControlPath(), {"bans"});
    EXPECT_EQ(r.out, "127.0.0.1\n1 adres(sen) op de banlijst\n");
    r = Ctl(s.ControlPath(), {"unban", "127.0.0.1"});
    EXPECT_EQ(r.out, "127.0.0.1 van de banlijst gehaald\n");
    r = Ctl(s.ControlPath(), {"unban", "127.0.0.1"});
    EXPECT_EQ(r.status, 1);
    r = Ctl(s.ControlPath(), {"clearbans"});
    EXPECT_EQ(r.out, "Banlijst geleegd\n");
    r = Ctl(s.ControlPath(), {"toveren"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Onbekend commando: toveren (typ help)\n");
    r = Ctl(s.ControlPath(), {"help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.contains("kick N")) << r.out.toStdString();
    r = Ctl(s.ControlPath(), {"stop"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(s.WaitOut("STATUS [0] Server is gestopt!"));
    r = Ctl(s.ControlPath(), {"start"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(WaitFor([&] { return s.Out().count("Server is gestart!") == 2; }));

    // Wrong use and no server are told apart from a mistake.
    EXPECT_EQ(Ctl(s.ControlPath(), {}).status, 2);
    EXPECT_EQ(Ctl(s.Path("nergens"), {"users"}).status, 3);

    r = Ctl(s.ControlPath(), {"quit"});
    EXPECT_EQ(r.status, 0);
    ASSERT_TRUE(s.Finished());
    EXPECT_EQ(s.Process().exitCode(), 0);
    EXPECT_FALSE(QFile::exists(s.ControlPath())) << "the socket goes with the server";
}

TEST(ControlSocketTest, MalformedOverlongAndManyAtOnce) {
    Service s;
    s.Start();
    ASSERT_TRUE(s.WaitStarted()) << s.Err().toStdString();
    EXPECT_EQ(Ask(s.ControlPath(), "users\n"), "O 0 gebruiker(s) ingelogd, 0 verbinding(en)\n= 0\n");
    EXPECT_EQ(Ask(s.ControlPath(), "kick \x1b[2J1\n"),
              "E Ongeldig commando: alleen tekst in UTF-8 op één regel\n= 1\n");
    EXPECT_EQ(Ask(s.ControlPath(), QByteArray(10000, 'x')),
              "E Commando te lang (meer dan 4096 bytes)\n= 1\n");

    // Thirty clients at once each get their own answer.
    std::vector<std::unique_ptr<QLocalSocket>> clients;
    for (int i = 0; i < 30; ++i) {
        clients.push_back(std::make_unique<QLocalSocket>());
        clients.back()->connectToServer(s.ControlPath());
    }
    for (auto& c : clients) {
        ASSERT_TRUE(c->waitForConnected(3000));
        c->write("bans\n");
        c->flush();
    }
    for (auto& c : clients) {
        QByteArray got;
        WaitFor(
            [&] {
                got += c->readAll();
                return got.endsWith("= 0\n");
            },
            5000);
        EXPECT_EQ(got, "O 0 adres(sen) op de banlijst\n= 0\n");
    }
    // The server still serves the room.
    RawClient anna;
    ASSERT_TRUE(anna.Connect(s.Port()));
    EXPECT_TRUE(anna.Login("anna"));
    EXPECT_EQ(s.Stop(), 0);
}

// Another user is refused by the credentials check even when the socket file
// would let it in (only testable as root, which can become another user).
TEST(ControlSocketTest, AnotherUserIsRefused) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    Service s;
    s.Start();
    ASSERT_TRUE(s.WaitStarted()) << s.Err().toStdString();
    ASSERT_EQ(::chmod(QFile::encodeName(s.ControlPath()).constData(), 0666), 0);
    ::chmod(QFile::encodeName(QFileInfo(s.ControlPath()).path()).constData(), 0755);
    const CtlResult r = Ctl(s.ControlPath(), {"users"}, [] {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(99);
    });
    EXPECT_EQ(r.status, 3) << r.out.toStdString() << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_EQ(Ctl(s.ControlPath(), {"users"}).status, 0) << "the owner still gets in";
}

} // namespace
