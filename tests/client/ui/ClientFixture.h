// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The client's two first windows, wired as the program wires them, with prompts
// that record instead of blocking and settings in the test's own folder.
#include "UiTestSupport.h"
#include "client/ui/frmConnect.h"
#include "client/ui/frmMain.h"
#include <gtest/gtest.h>
#include <memory>

namespace testsupport {

class ClientFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // (Re)creates both windows, as a program start does; Form_Load runs with commandLine.
    void StartProgram(const QString& commandLine = QString());
    // Connects to the scripted server as `nickname` and answers the login; the
    // session is then in progress with room "Kamer" and the given user entries
    // ("id#nick#away" each) in the list.
    bool LogIn(const QString& nickname, const QList<std::string>& users = {});

    RecordingPrompts rec;
    ScriptedServer server;
    std::unique_ptr<client::frmMain> main;
    std::unique_ptr<client::frmConnect> dialog;
};

} // namespace testsupport
