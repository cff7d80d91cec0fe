// SPDX-License-Identifier: GPL-3.0-or-later
// Test main for every test that needs Qt: an application object, the offscreen
// platform when nothing else is asked for, and settings in a private folder so
// that no test reads or writes the user's own configuration.
#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir configHome;
    if (!configHome.isValid())
        return 2;
    qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
    // Nor its data folder, nor its desktop: no conversation log or notification leaves the test.
    qputenv("XDG_DATA_HOME", configHome.path().toLocal8Bit());
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
