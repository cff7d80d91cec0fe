// SPDX-License-Identifier: GPL-3.0-or-later
// The server's settings file: private to its owner, hand-written values read
// back whole, limits read from it, and a failed write reported.
#include "server/core/ServerSettings.h"
#include "net/SettingsStore.h"
#include "server/core/LimitsText.h"

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

} // namespace
