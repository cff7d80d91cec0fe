// SPDX-License-Identifier: GPL-3.0-or-later
// zindlechatd: the console server for a service, linking Qt Core and Network
// only. Same options, console commands and log lines as ZindleChatServer --headless.
#include "server/daemon/ServiceNotify.h"
#include "server/headless/Headless.h"

int main(int argc, char** argv) {
    return RunHeadless(
        argc, argv, [] { server::NotifyServiceReady(); }, HeadlessProgram::Daemon);
}
