// SPDX-License-Identifier: GPL-3.0-or-later
// The console server's defences as a process: an output nobody reads, running
// out of descriptors, an overlong console line, the password file.
#include "common/ZindleDivideCombine.h"
#include "common/ZindleEncrypt.h"
#include "tests/server/core/RawClient.h"
#include "tests/server/headless/ConsoleProcess.h"

#include <QTemporaryDir>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>

using namespace testing_support;

namespace {

// Reads what the pipe holds without waiting.
std::string DrainPipe(int fd) {
    std::string all;
    char chunk[65536];
    for (ssize_t n; (n = ::read(fd, chunk, sizeof chunk)) > 0;)
        all.append(chunk, std::size_t(n));
    return all;
}

TEST(HeadlessLimitsTest, AnOutputNobodyReadsNeitherStopsTheRoomNorASignal) {
    int out[2];
    ASSERT_EQ(::pipe2(out, O_CLOEXEC), 0);
    const int writeEnd = out[1];
    const quint16 port = FreePort();
    // No flood limit: 7 MB of chat in big lines is far over its byte allowance.
    Console c({"--headless", "--port", QString::number(port), "--password", "", "--log", "all",
               "--flood-limit", "0"},
              [writeEnd] { ::dup2(writeEnd, 1); });
    ::close(out[1]);
    ::fcntl(out[0], F_SETFL, O_NONBLOCK);

    std::string seen;
    ASSERT_TRUE(WaitFor([&] {
        seen += DrainPipe(out[0]);
        return seen.find("Server is gestart!") != std::string::npos;
    }));
    RawClient anna;
    ASSERT_TRUE(anna.Connect(port));
    ASSERT_TRUE(anna.Login("anna"));
    // Far more log text than the pipe and the server's own buffer hold together.
    const std::string line = "anna> " + std::string(60000, 'x');
    for (int i = 0; i < 120; ++i) {
        anna.Send(line);
        ASSERT_TRUE(anna.WaitForCount(std::size_t(i) + 5)) << "line " << i << " was not relayed";
    }

    // Once the output is read again, one line tells how many were skipped.
    EXPECT_TRUE(WaitFor(
        [&] {
            seen += DrainPipe(out[0]);
            anna.SendCmd("AWAY"); // something to log
            return seen.find("logregel(s) overgeslagen") != std::string::npos;
        },
        8000));

    ::kill(static_cast<pid_t>(c.Process().processId()), SIGTERM);
    EXPECT_TRUE(c.Finished());
    EXPECT_EQ(c.Process().exitCode(), 0);
    ::close(out[0]);
}

TEST(HeadlessLimitsTest, OutOfDescriptorsTheServerPausesAndRecovers) {
    const quint16 port = FreePort();
    // Hard limit low enough that raising the soft one does not help.
    Console c(
        {"--headless", "--port", QString::number(port), "--password", "", "--max-pending-per-address", "0"},
        [] {
            rlimit low{48, 48};
            ::setrlimit(RLIMIT_NOFILE, &low);
        });
    ASSERT_TRUE(c.WaitOut("Server is gestart!")) << c.Err().toStdString();
    std::vector<std::unique_ptr<RawClient>> crowd;
    for (int i = 0; i < 60; ++i) {
        crowd.push_back(std::make_unique<RawClient>());
        crowd.back()->Socket().connectToHost(QStringLiteral("127.0.0.1"), port);
    }
    ASSERT_TRUE(c.WaitOut("STATUS [0] Geen bestandsdescriptors meer vrij"))
        << c.Out().right(300).toStdString();
    Settle(600); // several pauses pass: still one line for the episode
    EXPECT_EQ(c.Out().count("Geen bestandsdescriptors meer vrij"), 1);

    crowd.clear(); // descriptors come free: the ones still waiting get in, and newcomers too
    RawClient late;
    ASSERT_TRUE(late.Connect(port));
    EXPECT_TRUE(late.Login("laat")) << c.Out().right(2000).toStdString();
    c.Command("quit");
    EXPECT_TRUE(c.Finished());
}

TEST(HeadlessLimitsTest, AnOverlongConsoleLineIsThrownAwayWhole) {
    const quint16 port = FreePort();
    Console c({"--headless", "--port", QString::number(port)});
    ASSERT_TRUE(c.WaitOut("Server is gestart!"));
    // Its tail would read as "quit" if only its start were dropped.
    c.Command(QString(70 * 1024, u' ') + QStringLiteral("quit"));
    c.Command(QStringLiteral("bans"));
    EXPECT_TRUE(c.WaitOut("0 adres(sen) op de banlijst\n"));
    EXPECT_TRUE(c.Err().contains("Regel te lang, genegeerd"));
    EXPECT_EQ(c.Process().state(), QProcess::Running);
}

TEST(HeadlessLimitsTest, ThePasswordComesFromAFile) {
    QTemporaryDir dir;
    QFile file(dir.filePath("wachtwoord"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("uit bestand\n");
    file.close();
    const quint16 port = FreePort();
    Console c({"--headless", "--port", QString::number(port), "--password", "niet dit", "--password-file",
               file.fileName()});
    ASSERT_TRUE(c.WaitOut("Server is gestart!")) << c.Err().toStdString();
    RawClient wrong, right;
    ASSERT_TRUE(wrong.Connect(port));
    wrong.SendCmd("CACKa#" + ZindleDivideCombine::Escape(ZindleEncrypt::Encrypt("niet dit")) +
                  "#0.2 build \\#0013");
    EXPECT_TRUE(wrong.WaitForMessage(Cmd("ERROPASS")));
    ASSERT_TRUE(right.Connect(port));
    EXPECT_TRUE(right.Login("b", ZindleDivideCombine::Escape(ZindleEncrypt::Encrypt("uit bestand"))));
    // "info" answers once the host name lookup, asked for only now, is done.
    c.Command("info 1"); // the refused one left slot 1 free again
    EXPECT_TRUE(
        c.WaitOut("Nickname: b\nClient versie: 0.2 build #0013\nAway: Onwaar\nIP-Adres: 127.0.0.1\n", 6000));

    Console missing({"--headless", "--password-file", dir.filePath("weg")});
    EXPECT_TRUE(missing.Finished());
    EXPECT_EQ(missing.Process().exitCode(), 2);
    EXPECT_TRUE(missing.Err().contains("wachtwoordbestand"));
}

} // namespace
