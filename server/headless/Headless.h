// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The server without a window:
//   ZindleChatServer --headless [--port N] [--password TEXT | --password-file PATH] [--name TEXT]
//                    [--motd TEXT] [--no-duplicate-ip] [--chat-log on|off] [--log all|events]
//                    [--login-timeout S] [--max-pending-per-address N] [--send-budget MIB]
//                    [--flood-limit R[/B]] [--max-users-per-address N] [--config PATH]
//                    [--ban-file PATH]//                    [--control PATH [--control-group GROUP]]
//   ZindleChatServer --help | --version
// Needs no display: it runs on a QCoreApplication of its own (or the one that exists).
#include <functional>

// What a service manager hears: onListening once, as soon as the server first
// listens (not before); onReloading and onReloaded around each SIGHUP reload.
struct ServiceHooks {
    std::function<void()> onListening, onReloading, onReloaded;
};

// Which program runs the console server: its --help names it, and the daemon
// reads the service's configuration file and opens its control socket unasked.
enum class HeadlessProgram { Server, Daemon };
int RunHeadless(int argc, char** argv, const ServiceHooks& hooks = {},
                HeadlessProgram program = HeadlessProgram::Server);
