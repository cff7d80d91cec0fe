// SPDX-License-Identifier: GPL-3.0-or-later
// The settings store keeps strings per application, section and key, in the
// test's private configuration folder.
#include "net/SettingsStore.h"

#include <QFile>
#include <gtest/gtest.h>

TEST(SettingsStore, RoundTripsPerApplicationAndSectionWithDefaults) {
    net::SaveSetting("ZindleChatTest", "Options", "Port", "12345");
    net::SaveSetting("ZindleChatTest", "Colors", "Port", "-1");
    net::SaveSetting("ZindleChatTestOther", "Options", "Port", "1");
    // Text that INI files treat specially survives as it was written.
    const QString awkward = QStringLiteral("a#b;c=d \\e, \"f\" ëé");
    net::SaveSetting("ZindleChatTest", "Options", "Motd", awkward);

    EXPECT_EQ(net::GetSetting("ZindleChatTest", "Options", "Port"), "12345");
    EXPECT_EQ(net::GetSetting("ZindleChatTest", "Colors", "Port"), "-1");
    EXPECT_EQ(net::GetSetting("ZindleChatTestOther", "Options", "Port"), "1");
    EXPECT_EQ(net::GetSetting("ZindleChatTest", "Options", "Motd"), awkward);

    EXPECT_EQ(net::GetSetting("ZindleChatTest", "Options", "Missing", "standaard"), "standaard");
    EXPECT_EQ(net::GetSetting("ZindleChatTest", "Missing", "Port", "7"), "7");
    EXPECT_TRUE(net::GetSetting("ZindleChatTest", "Options", "Missing").isEmpty());

    // The store lives in the private folder the test main set up.
    const QString path = net::SettingsFilePath("ZindleChatTest");
    EXPECT_TRUE(path.startsWith(qEnvironmentVariable("XDG_CONFIG_HOME"))) << path.toStdString();
    EXPECT_TRUE(QFile::exists(path));
}
