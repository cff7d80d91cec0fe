// SPDX-License-Identifier: GPL-3.0-or-later
// The server's settings file: private to its owner, hand-written values read
// back whole, limits read from it, and a failed write reported.
#include "server/core/ServerSettings.h"
#include "net/SettingsStore.h"
#include "server/core/LimitsText.h"
#include "server/core/ServerPort.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

const QString kApp = server::kSettingsApplication;

TEST(ServerSettingsTest, TheFileIsPrivateAndHandWrittenValuesReadBackWhole) {
    const QString path = net::SettingsFilePath(kApp);
    QFile::remove(path);
    ASSERT_TRUE(net::SaveSetting(kApp, server::kSettingsSection, "Password", "geheim"));
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    // Written by hand, as the service's administrator would.
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("[Options]\nServerNaam=Huiskamer, Amsterdam\nMOTD=a,b , c\nFloodLimit=10/40\n"
               "LoginTimeout=5\nSendBudget=veel\nLog=events\n");
    file.close();
    const server::ServerSettings s = server::ReadServerSettings();
    EXPECT_EQ(s.ServerNaam, "Huiskamer, Amsterdam");
    EXPECT_EQ(s.MOTD, "a,b , c");
    const server::ServerLimits limits = server::LimitsFromSettings(s);
    EXPECT_EQ(limits.floodRate, 10.0);
    EXPECT_EQ(limits.floodBurst, 40);
    EXPECT_EQ(limits.loginTimeoutSeconds, 5);
    EXPECT_EQ(limits.sendBudgetBytes, server::ServerLimits{}.sendBudgetBytes) << "unreadable: the default";
    EXPECT_EQ(limits.maxPendingPerAddress, 64);
    EXPECT_EQ(s.Log, "events");
}

TEST(ServerSettingsTest, AWriteThatFailsIsReported) {
    // A folder where the file should be: no permission trick, so root fails too.
    const QString path = net::SettingsFilePath(QStringLiteral("ZindleChatServerBlocked"));
    QFile::remove(path);
    ASSERT_TRUE(QDir().mkpath(path));
    EXPECT_FALSE(
        net::SaveSetting(QStringLiteral("ZindleChatServerBlocked"), server::kSettingsSection, "Port", "1"));
    QDir(path).removeRecursively();
}

// One port rule for the window, the console and the daemon.
TEST(ServerPortTest, AWholeNumberFromOneTo65535WithBlanksAroundIt) {
    EXPECT_EQ(server::ParsePort("12345"), 12345);
    EXPECT_EQ(server::ParsePort(" 80 "), 80);
    EXPECT_EQ(server::ParsePort("65535"), 65535);
    for (const char* bad : {"", " ", "0", "65536", "+80", "-1", "1e3", "0x50", "8 0", "99999999999"})
        EXPECT_FALSE(server::ParsePort(bad)) << bad;
    EXPECT_EQ(server::InvalidPortReason("x"), "Ongeldige poort \"x\": kies een getal van 1 tot en met 65535");
}

// Written as the window writes, read as the core reads.
TEST(ServerSettingsTest, WhatIsSavedReadsBackUnderTheSameKeys) {
    using namespace server::settingkey;
    ASSERT_TRUE(server::SaveServerSetting(kChatLog, server::ChatLogText(false)));
    ASSERT_TRUE(server::SaveServerSetting(kDubbelIP, server::CheckText(true)));
    ASSERT_TRUE(server::SaveServerSetting(kMaxUsersPerAddress, "4"));
    const server::ServerSettings s = server::ReadServerSettings();
    EXPECT_FALSE(s.ChatLog);
    EXPECT_TRUE(s.ChatLogStored);
    EXPECT_TRUE(s.chkDubbelIP);
    EXPECT_EQ(server::LimitsFromSettings(s).maxUsersPerAddress, 4);
    ASSERT_TRUE(server::SaveServerSetting(kChatLog, server::ChatLogText(true)));
    EXPECT_TRUE(server::ReadServerSettings().ChatLog);
}

} // namespace
