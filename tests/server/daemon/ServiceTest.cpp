// SPDX-License-Identifier: GPL-3.0-or-later
// The daemon as a service: the configuration file (spaces and commas, a file
// that cannot be read or parsed), the ban file across a restart and when
// damaged, SIGHUP with the notify messages, the start line and the journal's
// priorities.
#include "tests/server/daemon/NotifySocket.h"
#include "tests/server/daemon/ServiceProcess.h"

#include "common/ZindleDivideCombine.h"
#include "common/ZindleEncrypt.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace service_test;
using testing_support::Cmd;
using testing_support::RawClient;

namespace {

void Write(const QString& path, const QByteArray& text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

TEST(ServiceTest, ConfigFileValuesWholeOptionsOverrideAndTheStartLine) {
    Service s({"--motd", "van de opdrachtregel"});
    Write(s.ConfigPath(),
          "# kamer\nServerNaam = De huiskamer, Amsterdam\nMOTD=uit het bestand\nPassword=geheim\n");
    s.Start();
    ASSERT_TRUE(s.WaitStarted()) << s.Err().toStdString();
    const QRegularExpression start(
        QStringLiteral(R"(^\[\d\d:\d\d:\d\d\] STATUS \[0\] Luistert op \[::\]:%1, )"
                       R"(kamer "De huiskamer, Amsterdam", wachtwoord: ja$)")
            .arg(s.Port()),
        QRegularExpression::MultilineOption);
    EXPECT_TRUE(s.WaitOut("wachtwoord: ja"));
    EXPECT_TRUE(start.match(s.Out()).hasMatch()) << s.Out().toStdString();
    EXPECT_FALSE(s.Out().contains("geheim")) << "never the password";
    EXPECT_EQ(s.Stop(), 0);
}

TEST(ServiceTest, ASettingsFileThatCannotBeReadOrParsedStopsTheStart) {
    {
        Service s;
        QFile::remove(s.ConfigPath());
        QDir().mkpath(s.ConfigPath()); // exists, but no file can be read there
        s.Start();
        ASSERT_TRUE(s.Finished());
        EXPECT_EQ(s.Process().exitCode(), 2);
        EXPECT_TRUE(s.Err().startsWith(
            QStringLiteral("Kan het instellingenbestand \"%1\" niet lezen").arg(s.ConfigPath())))
            << s.Err().toStdString();
    }
    {
        Service s;
        Write(s.ConfigPath(), "Port=23456\nPoort 12345\n");
        s.Start();
        ASSERT_TRUE(s.Finished());
        EXPECT_EQ(s.Process().exitCode(), 2);
        EXPECT_EQ(s.Err(),
                  QStringLiteral("Instellingenbestand \"%1\", regel 2: verwacht SLEUTEL=WAARDE, niet "
                                 "\"Poort 12345\"\n")
                      .arg(s.ConfigPath()));
    }
    {
        Service s;
        QDir().mkpath(s.Path("ZindleChatServer.ini")); // the settings store itself
        s.Start();
        ASSERT_TRUE(s.Finished());
        EXPECT_EQ(s.Process().exitCode(), 2);
        EXPECT_TRUE(s.Err().contains("ZindleChatServer.ini")) << s.Err().toStdString();
        EXPECT_TRUE(s.Out().isEmpty()) << "nothing started";
    }
}

TEST(ServiceTest, BansOutliveARestartAndADamagedFileIsReported) {
    QTemporaryDir state;
    const QString banFile = state.filePath("bans");
    Service first({"--ban-file", banFile});
    first.Start();
    ASSERT_TRUE(first.WaitStarted()) << first.Err().toStdString();
    RawClient anna;
    ASSERT_TRUE(anna.Connect(first.Port()));
    ASSERT_TRUE(anna.Login("anna"));
    EXPECT_EQ(Ctl(first.ControlPath(), {"ban", "1"}).status, 0);
    ASSERT_TRUE(anna.WaitForClose());
    EXPECT_EQ(first.Stop(), 0);

    Service second({"--ban-file", banFile});
    second.Start();
    ASSERT_TRUE(second.WaitStarted()) << second.Err().toStdString();
    EXPECT_EQ(Ctl(second.ControlPath(), {"bans"}).out, "127.0.0.1\n1 adres(sen) op de banlijst\n");
    RawClient again;
    ASSERT_TRUE(again.Connect(second.Port()));
    again.SendCmd("CACKanna##0.2 build \\#0013");
    EXPECT_TRUE(again.WaitForClose()) << "still banned after the restart";
    EXPECT_EQ(Ctl(second.ControlPath(), {"clearbans"}).status, 0);
    EXPECT_EQ(second.Stop(), 0);

    // A damaged file: the good lines count, the damage is said, the original kept.
    Write(banFile, "10.1.2.3\nrommel\n");
    Service third({"--ban-file", banFile});
    third.Start();
    ASSERT_TRUE(third.WaitStarted()) << third.Err().toStdString();
    EXPECT_TRUE(third.Out().contains(
        QStringLiteral("STATUS [0] Banlijst \"%1\" is beschadigd (regel 2: \"rommel\" is "
                       "geen adres); 1 adres(sen) gelezen")
            .arg(banFile)))
        << third.Out().toStdString();
    EXPECT_EQ(Ctl(third.ControlPath(), {"bans"}).out, "10.1.2.3\n1 adres(sen) op de banlijst\n");
    QFile aside(banFile + ".beschadigd");
    ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
    EXPECT_EQ(aside.readAll(), "10.1.2.3\nrommel\n");
    EXPECT_EQ(third.Stop(), 0);
}

TEST(ServiceTest, SighupAppliesWhatReadsKeepsTheRestAndTellsTheServiceManager) {
    NotifySocket notify;
    ASSERT_TRUE(notify.Bound());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("NOTIFY_SOCKET", notify.Path());
    Service s({}, env);
    Write(s.ConfigPath(), "ServerNaam=Oud\nFloodLimit=10/20\n");
    Write(s.Path("ww"), "eerste\n");
    s.AddArgs({"--password-file", s.Path("ww")});
    s.Start();
    ASSERT_TRUE(s.WaitStarted()) << s.Err().toStdString();
    RawClient anna;
    ASSERT_TRUE(anna.Connect(s.Port()));
    ASSERT_TRUE(anna.Login("anna", ZindleDivideCombine::Escape(ZindleEncrypt::Encrypt("eerste"))));

    // A valid change and an invalid one.
    Write(s.ConfigPath(), "ServerNaam=Nieuw, met komma\nFloodLimit=heel veel\n");
    Write(s.Path("ww"), "tweede\n");
    s.Signal(SIGHUP);
    ASSERT_TRUE(s.WaitOut("Instellingen opnieuw gelezen:")) << s.Out().toStdString();
    EXPECT_TRUE(
        s.Out().contains("STATUS [0] Instelling genegeerd: FloodLimit \"heel veel\" is ongeldig, de vorige "
                         "waarde blijft"))
        << s.Out().toStdString();
    EXPECT_TRUE(
        s.Out().contains("STATUS [0] Instellingen opnieuw gelezen: naam \"Nieuw, met komma\", wachtwoord "
                         "gewijzigd\n"))
        << s.Out().toStdString();
    EXPECT_TRUE(anna.WaitForMessage(Cmd("SINFNieuw, met komma#0.2.0004")));
    EXPECT_TRUE(WaitFor([&] { return notify.Read().endsWith("READY=1\n"); }));
    const QByteArray said = notify.Read();
    EXPECT_TRUE(said.startsWith("READY=1\nRELOADING=1\nMONOTONIC_USEC=")) << said.toStdString();
    EXPECT_EQ(said.count("READY=1\n"), 2);
    // The new password counts at once; the old one no longer.
    RawClient bob, carl;
    ASSERT_TRUE(bob.Connect(s.Port()));
    EXPECT_TRUE(bob.Login("bob", ZindleDivideCombine::Escape(ZindleEncrypt::Encrypt("tweede"))));
    ASSERT_TRUE(carl.Connect(s.Port()));
    EXPECT_FALSE(carl.Login("carl", ZindleDivideCombine::Escape(ZindleEncrypt::Encrypt("eerste")),
                            "0.2 build \\#0013"));

    // A file that cannot be read changes nothing and says so.
    QFile::remove(s.ConfigPath());
    QDir().mkpath(s.ConfigPath());
    s.Signal(SIGHUP);
    EXPECT_TRUE(s.WaitOut("STATUS [0] Herladen mislukt: Kan het instellingenbestand"))
        << s.Out().toStdString();
    EXPECT_TRUE(WaitFor([&] { return notify.Read().count("READY=1\n") == 3; }));
    EXPECT_EQ(Ctl(s.ControlPath(), {"users"}).out,
              "1#anna\n2#bob\n2 gebruiker(s) ingelogd, 2 verbinding(en)\n");
    EXPECT_EQ(s.Stop(), 0);
}

// Under the journal (JOURNAL_STREAM names the output's pipe) lines carry their
// priority and no time stamp; errors on standard error too.
TEST(ServiceTest, JournalLinesCarryPrioritiesAndNoTimeStamp) {
    const QString wrapper =
        QStringLiteral("export JOURNAL_STREAM=$(stat -L -c %d:%i /proc/$$/fd/1); exec \"$0\" \"$@\"");
    Service s;
    s.Start(QStringLiteral("/bin/sh"), {"-c", wrapper, QStringLiteral(ZINDLE_DAEMON)});
    ASSERT_TRUE(s.WaitOut("<6>STATUS [0] Server is gestart!", 20000))
        << s.Out().toStdString() << s.Err().toStdString();
    EXPECT_TRUE(s.Out().startsWith("<6>STATUS [0] Serverprogramma opgestart!\n")) << s.Out().toStdString();
    const QRegularExpression stamp(R"(^\[\d\d:\d\d:\d\d\])", QRegularExpression::MultilineOption);
    EXPECT_FALSE(stamp.match(s.Out()).hasMatch()) << "no time stamps of its own: " << s.Out().toStdString();
    EXPECT_EQ(s.Stop(), 0);

    QTcpServer occupier;
    ASSERT_TRUE(occupier.listen(QHostAddress::AnyIPv4, 0));
    const QString wrapBoth =
        QStringLiteral("export JOURNAL_STREAM=$(stat -L -c %d:%i /proc/$$/fd/1); exec \"$0\" \"$@\" 2>&1");
    Service busy({"--port", QString::number(occupier.serverPort())});
    busy.Start(QStringLiteral("/bin/sh"), {"-c", wrapBoth, QStringLiteral(ZINDLE_DAEMON)});
    ASSERT_TRUE(busy.Finished());
    EXPECT_EQ(busy.Process().exitCode(), 1);
    const QString reason = QStringLiteral("Poort %1 is al in gebruik.").arg(occupier.serverPort());
    EXPECT_TRUE(busy.Out().contains("<3>STATUS [0] Server kon niet worden gestart: " + reason + "\n"))
        << busy.Out().toStdString();
    // Standard error, the same pipe here: the reason once, as an error.
    const QRegularExpression error(QStringLiteral("^<3>") + QRegularExpression::escape(reason) + u'$',
                                   QRegularExpression::MultilineOption);
    EXPECT_TRUE(error.match(busy.Out()).hasMatch()) << busy.Out().toStdString();
}

} // namespace
