// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A fresh settings store, a core and its main window per test. Message boxes are
// answered by a script and recorded; the program's end is only counted.
#include "net/SettingsStore.h"
#include "server/core/ServerCore.h"
#include "server/ui/frmMain.h"
#include "tests/server/ui/WaitFor.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

struct AskedBox {
    QMessageBox::Icon icon;
    QString title, text;
};

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override { QFile::remove(net::SettingsFilePath("ZindleChatServer")); }

    // Creates the window (Form_Load runs) after the test has filled the store.
    server::frmMain& Open() {
        core = std::make_unique<server::ServerCore>();
        window = std::make_unique<server::frmMain>(*core);
        window->MsgBox = [this](QWidget*, QMessageBox::Icon icon, const QString& title, const QString& text,
                                QMessageBox::StandardButtons) {
            asked.push_back({icon, title, text});
            return answer;
        };
        window->EndProgram = [this] { ++ended; };
        window->setTrayAvailabilityCheck([] { return true; });
        return *window;
    }

    static QString Stored(const char* key, const QString& fallback = "<missing>") {
        return net::GetSetting("ZindleChatServer", "Options", key, fallback);
    }
    static void Store(const char* key, const QString& value) {
        net::SaveSetting("ZindleChatServer", "Options", key, value);
    }

    // A port nobody listens on right now.
    static quint16 FreePort() {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        return probe.serverPort();
    }

    // Starts the server on a free port; the test fails when it does not run.
    quint16 StartOnFreePort() {
        const quint16 port = FreePort();
        window->txtPort->setText(QString::number(port));
        window->cmdServerStart->click();
        EXPECT_TRUE(core->Listening());
        return port;
    }

    std::unique_ptr<server::ServerCore> core;
    std::unique_ptr<server::frmMain> window;
    std::vector<AskedBox> asked;
    QMessageBox::StandardButton answer = QMessageBox::Yes;
    int ended = 0;
};
