// SPDX-License-Identifier: GPL-3.0-or-later
// Both programs' password boxes show "*" for every character, on a real display
// with the platform's own style as much as offscreen.
#include "client/ui/Prompts.h"
#include "client/ui/frmConnect.h"
#include "client/ui/frmMain.h"
#include "server/core/ServerCore.h"
#include "server/ui/frmMain.h"
#include "tests/support/EventWait.h"
#include <QLineEdit>
#include <gtest/gtest.h>

namespace {

void ExpectStars(QLineEdit* box) {
    box->setText(QStringLiteral("geheim"));
    EXPECT_EQ(box->echoMode(), QLineEdit::Password);
    EXPECT_EQ(box->displayText(), QStringLiteral("******"));
}

TEST(PasswordBoxes, ClientAndServerShowStars) {
    client::Prompts prompts;
    prompts.notify = [](QWidget*, QMessageBox::Icon, const QString&, const QString&) {};
    prompts.endProgram = [] {};
    client::frmMain clientMain(prompts);
    client::frmConnect dialog(clientMain, prompts);
    dialog.show();
    zindletest::Pump(50);
    ExpectStars(dialog.txtPassword);

    server::ServerCore core;
    server::frmMain serverMain(core);
    serverMain.show();
    zindletest::Pump(50);
    ExpectStars(serverMain.txtPassword);
}

} // namespace
