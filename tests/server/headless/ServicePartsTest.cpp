// SPDX-License-Identifier: GPL-3.0-or-later
// The service's pieces without a process: the configuration file's syntax, the
// ban file's lines, the journal's priorities, and who may use the control socket.
#include "server/headless/BanFile.h"
#include "server/headless/ConfigFile.h"
#include "server/headless/ControlServer.h"
#include "server/headless/JournalLines.h"

#include <gtest/gtest.h>

namespace {

using namespace server;

TEST(ConfigFileTest, ValuesAreTakenWholeAndMistakesNameTheLine) {
    QHash<QString, QString> values;
    QString error;
    ASSERT_TRUE(ParseConfigText("# opmerking\n"
                                "ServerNaam = De huiskamer, Amsterdam\n"
                                "[Options]\n"
                                "MOTD=Welkom,  allemaal\\nTweede regel\n"
                                "; nog een opmerking\n"
                                "Password=\"  spaties  \"\n"
                                "Port=23456\r\n",
                                "x.conf", &values, &error))
        << error.toStdString();
    EXPECT_EQ(values.value("ServerNaam"), "De huiskamer, Amsterdam");
    EXPECT_EQ(values.value("MOTD"), "Welkom,  allemaal\\nTweede regel");
    EXPECT_EQ(values.value("Password"), "  spaties  ");
    EXPECT_EQ(values.value("Port"), "23456");

    for (const auto& [text, says] : std::vector<std::pair<QByteArray, QString>>{
             {"Port=1\nzomaar tekst\n", "regel 2: verwacht SLEUTEL=WAARDE"},
             {"Poort=1\n", "regel 1: onbekende sleutel \"Poort\""},
             {"[Colors]\nPort=1\n", "regel 1: onbekende sectie [Colors]"},
             {"[Options\n", "regel 1: sectie zonder"}}) {
        values.clear();
        EXPECT_FALSE(ParseConfigText(text, "x.conf", &values, &error)) << text.toStdString();
        EXPECT_TRUE(error.startsWith("Instellingenbestand \"x.conf\", ")) << error.toStdString();
        EXPECT_TRUE(error.contains(says)) << error.toStdString();
    }
    EXPECT_FALSE(ReadConfigFile("/bestaat/niet.conf", &values, &error));
    EXPECT_TRUE(error.startsWith("Kan het instellingenbestand \"/bestaat/niet.conf\" niet lezen"))
        << error.toStdString();
}

TEST(BanFileTest, GoodLinesAreKeptAndBadOnesNamed) {
    const BanFileContents c =
        ParseBanFile("# kop\n10.0.0.1\n\n  10.0.0.2  \nrommel\n10.0.0.1\n::1\n999.1.1.1\n");
    EXPECT_EQ(c.addresses, QStringList({"10.0.0.1", "10.0.0.2", "::1"}));
    EXPECT_EQ(c.problems,
              QStringList({"regel 5: \"rommel\" is geen adres", "regel 8: \"999.1.1.1\" is geen adres"}));
}

TEST(JournalLinesTest, PriorityInFrontAndNoTimeStamp) {
    EXPECT_EQ(ForJournal("[12:00:01] STATUS [0] Server is gestart!"), "<6>STATUS [0] Server is gestart!");
    EXPECT_EQ(ForJournal("[12:00:01] STATUS [0] Server kon niet worden gestart: Poort 1 is al in gebruik."),
              "<3>STATUS [0] Server kon niet worden gestart: Poort 1 is al in gebruik.");
    EXPECT_EQ(
        ForJournal("[12:00:01] STATUS [0] 3 logregel(s) overgeslagen: de uitvoer werd niet op tijd gelezen"),
        "<4>STATUS [0] 3 logregel(s) overgeslagen: de uitvoer werd niet op tijd gelezen");
    EXPECT_EQ(ForJournal("[12:00:01]  IN <- [1] * ACKD"), "<7> IN <- [1] * ACKD");
    // Without JOURNAL_STREAM nothing is the journal.
    ::unsetenv("JOURNAL_STREAM");
    EXPECT_FALSE(IsJournalStream(1));
    ::setenv("JOURNAL_STREAM", "1:2", 1);
    EXPECT_FALSE(IsJournalStream(1));
    ::unsetenv("JOURNAL_STREAM");
}

TEST(ControlServerTest, OwnUserRootAndTheGroupOnly) {
    EXPECT_TRUE(ControlServer::PeerAllowed(1000, 1000, 1000, std::nullopt));
    EXPECT_TRUE(ControlServer::PeerAllowed(0, 0, 1000, std::nullopt));
    EXPECT_FALSE(ControlServer::PeerAllowed(1001, 1001, 1000, std::nullopt));
    EXPECT_FALSE(ControlServer::PeerAllowed(1001, 1001, 1000, gid_t(4242)));
    EXPECT_TRUE(ControlServer::PeerAllowed(1001, 4242, 1000, gid_t(4242)));
    EXPECT_TRUE(ValidCommandLine("motd Welkom, één\tallemaal"));
    EXPECT_FALSE(ValidCommandLine("kick 1\x1b[2J"));
    EXPECT_FALSE(ValidCommandLine("name \xff\xfe"));
}

} // namespace
