// SPDX-License-Identifier: GPL-3.0-or-later
// The console server's command line and its console commands, without a process.
#include "server/headless/HeadlessOptions.h"
#include "server/core/ServerCore.h"
#include "server/headless/ConsoleCommands.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using server::ParseHeadlessOptions;

TEST(HeadlessOptionsTest, FlagsAndValues) {
    const auto o = ParseHeadlessOptions({"--headless", "--port", "4000", "--password=", "--name", "Kamer #1",
                                         "--motd", "a\\nb\\\\n", "--no-duplicate-ip", "--chat-log", "off"});
    ASSERT_TRUE(o.error.isEmpty()) << o.error.toStdString();
    EXPECT_EQ(o.port, QString("4000"));
    EXPECT_EQ(o.password, QString(""));
    EXPECT_EQ(o.name, QString("Kamer #1"));
    EXPECT_EQ(o.motd, QString("a\r\nb\\n"));
    EXPECT_TRUE(o.noDuplicateIp);
    EXPECT_EQ(o.chatLog, false);
    const auto defaults = ParseHeadlessOptions({"--headless"});
    EXPECT_FALSE(defaults.port || defaults.password || defaults.chatLog);
}

TEST(HeadlessOptionsTest, MistakesAreReported) {
    for (const QStringList& bad : std::vector<QStringList>{{"--port", "abc"},
                                                           {"--port", "0"},
                                                           {"--port", "65536"},
                                                           {"--port", "-5"},
                                                           {"--port"},
                                                           {"--chat-log", "misschien"},
                                                           {"--onbekend"},
                                                           {"--headless=ja"},
                                                           {"--login-timeout", "-1"},
                                                           {"--login-timeout", "10s"},
                                                           {"--max-pending-per-address", "veel"},
                                                           {"--send-budget", "1.5"},
                                                           {"--flood-limit", "50/0"},
                                                           {"--flood-limit", "/5"},
                                                           {"--flood-limit", "nan"},
                                                           {"--log", "alles"},
                                                           {"--password-file"},
                                                           {"--listen", "localhost"},
                                                           {"--listen", "::1", "--listen", "[::1]"}})
        EXPECT_FALSE(ParseHeadlessOptions(bad).error.isEmpty()) << bad.join(' ').toStdString();
    EXPECT_TRUE(server::ValidPort("65535"));
    EXPECT_FALSE(server::ValidPort("+80"));
}

TEST(HeadlessOptionsTest, LimitsLogLevelAndPasswordFile) {
    const auto o =
        ParseHeadlessOptions({"--login-timeout", "0", "--max-pending-per-address=8",
                              "--max-users-per-address", "3", "--send-budget", "16", "--flood-limit",
                              "20/100", "--log", "all", "--password-file", "/run/credentials/wachtwoord"});
    ASSERT_TRUE(o.error.isEmpty()) << o.error.toStdString();
    EXPECT_EQ(o.loginTimeout, 0);
    EXPECT_EQ(o.maxPendingPerAddress, 8);
    EXPECT_EQ(o.maxUsersPerAddress, 3);
    EXPECT_EQ(o.sendBudget, std::size_t(16) << 20);
    EXPECT_EQ(o.floodRate, 20.0);
    EXPECT_EQ(o.floodBurst, 100);
    EXPECT_EQ(o.logAll, true);
    EXPECT_EQ(o.passwordFile, QString("/run/credentials/wachtwoord"));
    const auto rateOnly = ParseHeadlessOptions({"--flood-limit", "5", "--log", "events"});
    EXPECT_EQ(rateOnly.floodBurst, 20); // four seconds' worth
    EXPECT_EQ(rateOnly.logAll, false);
    EXPECT_EQ(ParseHeadlessOptions({"--flood-limit", "0"}).floodRate, 0.0);
    for (const char* name :
         {"--login-timeout S", "--max-pending-per-address N", "--max-users-per-address N",
          "--send-budget MIB", "--flood-limit R[/B]", "--log all|events", "--password-file"})
        EXPECT_TRUE(server::HeadlessHelpText().contains(name)) << name;

    // The first line of the file, without its line end; a missing file is an error.
    QTemporaryDir dir;
    QFile file(dir.filePath("pw"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("geheim, echt\r\ntweede regel\n");
    file.close();
    QString password, error;
    ASSERT_TRUE(server::ReadPasswordFile(file.fileName(), &password, &error));
    EXPECT_EQ(password, "geheim, echt");
    EXPECT_FALSE(server::ReadPasswordFile(dir.filePath("weg"), &password, &error));
    EXPECT_TRUE(error.contains("weg"));
}

TEST(HeadlessOptionsTest, ConsoleCommandsWithoutConnections) {
    server::ServerCore core;
    server::ConsoleCommands console(core, "0");
    QString out, err;
    using R = server::ConsoleCommands::Result;
    EXPECT_EQ(console.Execute("bans", out, err), R::Continue);
    EXPECT_EQ(out, "0 adres(sen) op de banlijst\n");
    core.AddBan("10.0.0.9");
    out.clear();
    console.Execute("unban 10.0.0.9", out, err);
    EXPECT_TRUE(core.BanList().isEmpty());
    EXPECT_TRUE(err.isEmpty());
    for (const char* bad : {"kick", "kick 7", "info abc", "ban 40000", "unban", "start", "gibberish"}) {
        err.clear();
        console.Execute(bad, out, err);
        EXPECT_TRUE(err.endsWith('\n') && err.count('\n') == 1) << bad << ": " << err.toStdString();
    }
    EXPECT_FALSE(core.Listening()) << "port 0 is refused";
    console.Execute("name  Zaal 2 ", out, err); // text as typed after one blank
    EXPECT_EQ(core.ServerNaam(), " Zaal 2 ");
    console.Execute("motd een\\ntwee", out, err);
    EXPECT_EQ(core.MOTD(), "een\r\ntwee");
    EXPECT_EQ(console.Execute("quit", out, err), R::Quit);
}

TEST(HeadlessOptionsTest, ListenIsRepeatable) {
    const auto o = ParseHeadlessOptions({"--listen", "::1", "--listen=192.0.2.1"});
    ASSERT_TRUE(o.error.isEmpty()) << o.error.toStdString();
    EXPECT_EQ(o.listen, (QStringList{"::1", "192.0.2.1"}));
    EXPECT_TRUE(ParseHeadlessOptions({}).listen.isEmpty());
}

// "ban" takes a user number, or an address or range of either family, which it
// writes in its short form; "unban" finds an entry however it is written.
TEST(HeadlessOptionsTest, ConsoleBansAddressesAndRanges) {
    server::ServerCore core;
    server::ConsoleCommands console(core, "0");
    QString out, err;
    for (const char* entry : {"ban 192.0.2.0/24", "ban 2001:DB8:1:2::/64", "ban 2001:db8::0:1"})
        console.Execute(entry, out, err);
    EXPECT_TRUE(err.isEmpty()) << err.toStdString();
    EXPECT_EQ(core.BanList(), (QStringList{"192.0.2.0/24", "2001:db8:1:2::/64", "2001:db8::1"}));
    EXPECT_EQ(out, "192.0.2.0/24 op de banlijst gezet\n2001:db8:1:2::/64 op de banlijst gezet\n"
                   "2001:db8::1 op de banlijst gezet\n");
    for (const char* bad : {"ban 192.0.2.0/33", "ban 2001:db8::/", "ban 10.0.0", "ban ::1::"}) {
        err.clear();
        console.Execute(bad, out, err);
        EXPECT_TRUE(err.startsWith("Geen adres of adresbereik: ")) << bad << ": " << err.toStdString();
    }
    EXPECT_EQ(core.BanList().size(), 3);
    out.clear();
    err.clear();
    console.Execute("unban 2001:DB8:1:2:0::/64", out, err);
    EXPECT_EQ(out, "2001:DB8:1:2:0::/64 van de banlijst gehaald\n");
    EXPECT_EQ(core.BanList(), (QStringList{"192.0.2.0/24", "2001:db8::1"}));
}

TEST(HeadlessOptionsTest, TlsFlagsAndTheCertificateCommands) {
    const auto o = ParseHeadlessOptions({"--tls-cert", "a.pem", "--tls-key=b.pem", "--tls-only"});
    ASSERT_TRUE(o.error.isEmpty()) << o.error.toStdString();
    EXPECT_EQ(o.tlsCert, "a.pem");
    EXPECT_EQ(o.tlsKey, "b.pem");
    EXPECT_TRUE(o.tlsOnly);
    EXPECT_FALSE(ParseHeadlessOptions({"--tls-only=1"}).error.isEmpty());
    EXPECT_FALSE(ParseHeadlessOptions({"--tls-cert"}).error.isEmpty());

    // Without TLS both commands say so on the error side; a reload of files
    // that are not there keeps TLS off and names the file.
    server::ServerCore core;
    server::ConsoleCommands console(core, "0");
    QString out, err;
    console.Execute("fingerprint", out, err);
    EXPECT_TRUE(out.isEmpty());
    EXPECT_EQ(err, "TLS staat uit\n");
    err.clear();
    core.setTlsFiles(QStringLiteral("/nonexistent/zindle.pem"), QString());
    console.Execute("reload", out, err);
    EXPECT_TRUE(err.startsWith("Certificaat niet opnieuw geladen: ") &&
                err.contains("/nonexistent/zindle.pem"))
        << err.toStdString();
    EXPECT_TRUE(core.TlsFingerprint().isEmpty());
}

} // namespace
