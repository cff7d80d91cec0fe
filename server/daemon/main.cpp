// SPDX-License-Identifier: GPL-3.0-or-later
// zindlechatd: the console server for a service, linking Qt Core and Network
// only. Same options, console commands and log lines as ZindleChatServer
// --headless; it also reads /etc/zindlechat-server/zindlechat-server.conf, opens
// the control socket in its runtime folder and reports to systemd.
#include "server/daemon/ServiceNotify.h"
#include "server/headless/Headless.h"
#include "server/headless/StandardDescriptors.h"

int main(int argc, char** argv) {
    server::EnsureStandardDescriptors();
    ServiceHooks hooks;
    hooks.onListening = [] { server::NotifyServiceReady(); };
    hooks.onReloading = [] { server::NotifyServiceReloading(); };
    hooks.onReloaded = [] { server::NotifyServiceReady(); };
    return RunHeadless(argc, argv, hooks, HeadlessProgram::Daemon);
}
