// SPDX-License-Identifier: GPL-3.0-or-later
// The console server as a process: flags, stored options, a login, console
// commands, end of input, signals, and start-up failures.
#include "common/ZindleDivideCombine.h"
#include "common/ZindleEncrypt.h"
#include "net/SettingsStore.h"
#include "tests/server/core/RawClient.h"
#include "tests/server/headless/ConsoleProcess.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <csignal>
#include <gtest/gtest.h>

using namespace testing_support;

namespace {

TEST(HeadlessProcessTest, HelpVersionAndMistakes) {
    {
        Console c({"--help"});
        ASSERT_TRUE(c.Finished());
        EXPECT_EQ(c.Process().exitCode(), 0);
        EXPECT_TRUE(c.Out().contains("--no-duplicate-ip"));
        EXPECT_TRUE(c.Out().contains("\\n staat voor een nieuwe regel"));
    }
    {
        Console c({"--version"});
        ASSERT_TRUE(c.Finished());
        EXPECT_EQ(c.Out(), "ZindleChat Server versie 0.2 build #0004\n");
    }
    for (const QStringList& bad : std::vector<QStringList>{{"--headless", "--port", "poort"},
                                                           {"--headless", "--port", "99999"},
                                                           {"--headless", "--bestaat-niet"}}) {
        Console c(bad);
        ASSERT_TRUE(c.Finished()) << bad.join(' ').toStdString();
        EXPECT_NE(c.Process().exitCode(), 0);
        EXPECT_TRUE(c.Out().isEmpty());
        EXPECT_FALSE(c.Err().isEmpty());
    }
    // A port in use: a clear error and a non-zero exit.
    QTcpServer occupier;
    ASSERT_TRUE(occupier.listen(QHostAddress::AnyIPv4, 0));
    Console c({"--headless", "--port", QString::number(occupier.serverPort())});
    ASSERT_TRUE(c.Finished());
    EXPECT_EQ(c.Process().exitCode(), 1);
    EXPECT_TRUE(c.Err().contains(QString::number(occupier.serverPort())));
    EXPECT_TRUE(c.Out().contains("STATUS [0] Server kon niet worden gestart"));
}

TEST(HeadlessProcessTest, FlagsLoginConsoleAndSignal) {
    // Stored options are read; the flags override them; nothing is written back.
    const QString app = QStringLiteral("ZindleChatServer"), sec = QStringLiteral("Options");
    net::SaveSetting(app, sec, "ServerNaam", "Opgeslagen");
    net::SaveSetting(app, sec, "MOTD", "uit de opslag");
    net::SaveSetting(app, sec, "Password", "oud");
    QFile store(net::SettingsFilePath(app));
    ASSERT_TRUE(store.open(QIODevice::ReadOnly));
    const QByteArray storedBefore = store.readAll();
    store.close();

    const quint16 port = FreePort();
    Console c({"--headless", "--port", QString::number(port), "--password", "pw", "--motd",
               "regel 1\\nregel 2", "--chat-log", "off"});
    ASSERT_TRUE(c.WaitOut("STATUS [0] Server is gestart!\n")) << c.Err().toStdString();
    EXPECT_TRUE(c.Out().startsWith("["));
    const QRegularExpression line(R"(^\[\d\d:\d\d:\d\d\] STATUS \[0\] Serverprogramma opgestart!$)",
                                  QRegularExpression::MultilineOption);
    EXPECT_TRUE(line.match(c.Out()).hasMatch()) << c.Out().toStdString();

    RawClient anna;
    ASSERT_TRUE(anna.Connect(port));
    ASSERT_TRUE(anna.Login("anna", ZindleDivideCombine::Escape(ZindleEncrypt::Encrypt("pw"))));
    EXPECT_EQ(anna.Count(Cmd("SINFOpgeslagen#0.2.0004")), 1u);
    EXPECT_EQ(anna.Count(Cmd("MOTDregel 1\r\nregel 2")), 1u);
    anna.Send("anna> geheim gesprek");
    ASSERT_TRUE(anna.WaitForMessage("anna> geheim gesprek"));

    c.Command("users");
    EXPECT_TRUE(c.WaitOut("1#anna\n"));
    c.Command("toveren");
    EXPECT_TRUE(c.WaitErr("Onbekend commando: toveren"));
    c.Command("motd nieuw");
    EXPECT_TRUE(anna.WaitForMessage(Cmd("MOTDnieuw")));
    c.Command("kick 1");
    EXPECT_TRUE(anna.WaitForClose());
    EXPECT_EQ(anna.Messages().back(), "**Je bent gekicked van de server\\r\\n");
    EXPECT_TRUE(c.WaitOut("STATUS [1] Verbinding gesloten\n"));
    EXPECT_FALSE(c.Out().contains("geheim gesprek")) << "chat logging is off";
    EXPECT_FALSE(c.Out().contains(" IN <- [1] * ACKD\n")) << "events only, unless --log all";

    // End of input does not stop the server.
    c.Process().closeWriteChannel();
    Settle(200);
    RawClient bob;
    ASSERT_TRUE(bob.Connect(port));
    EXPECT_TRUE(WaitFor([&] { return c.Out().count("STATUS [1] Inkomende verbinding (127.0.0.1:") == 2; }));

    ::kill(static_cast<pid_t>(c.Process().processId()), SIGTERM);
    ASSERT_TRUE(c.Finished());
    EXPECT_EQ(c.Process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(c.Process().exitCode(), 0);
    EXPECT_TRUE(c.Out().endsWith("STATUS [0] Server is gestopt!\n")) << c.Out().right(200).toStdString();
    EXPECT_TRUE(bob.WaitForClose());

    ASSERT_TRUE(store.open(QIODevice::ReadOnly));
    EXPECT_EQ(store.readAll(), storedBefore) << "the console server writes no settings";
}

TEST(HeadlessProcessTest, QuitCommandAndStopStart) {
    const quint16 port = FreePort();
    Console c({"--headless", "--port=" + QString::number(port), "--no-duplicate-ip", "--password", "",
               "--log", "all"});
    ASSERT_TRUE(c.WaitOut("STATUS [0] Server is gestart!\n")) << c.Err().toStdString();
    RawClient a, b;
    ASSERT_TRUE(a.Connect(port));
    ASSERT_TRUE(a.Login("anna"));
    ASSERT_TRUE(b.Connect(port));
    b.SendCmd("CACKbob##0.2 build \\#0013");
    ASSERT_TRUE(b.WaitForClose());
    EXPECT_EQ(b.Messages().at(0), Cmd("ERRODBIP"));
    EXPECT_TRUE(c.WaitOut(" IN <- [1] * ACKD\n"));
    c.Command("stop");
    EXPECT_TRUE(a.WaitForClose());
    c.Command("start");
    EXPECT_TRUE(WaitFor([&] { return c.Out().count("Server is gestart!") == 2; }));
    c.Command("quit");
    ASSERT_TRUE(c.Finished());
    EXPECT_EQ(c.Process().exitCode(), 0);
}

} // namespace
