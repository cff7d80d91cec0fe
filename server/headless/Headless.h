// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The server without a window:
//   ZindleChatServer --headless [--port N] [--password TEXT | --password-file PATH] [--name TEXT]
//                    [--motd TEXT] [--no-duplicate-ip] [--chat-log on|off] [--log all|events]
//                    [--login-timeout S] [--max-pending-per-address N] [--send-budget MIB]
//                    [--flood-limit R[/B]] [--max-users-per-address N]
//   ZindleChatServer --help | --version
// Needs no display: it runs on a QCoreApplication of its own (or the one that exists).
#include <functional>

// onListening runs once, as soon as the server first listens: a service manager
// waiting for readiness hears it then, not before.
// Which program runs the console server: its --help names it.
enum class HeadlessProgram { Server, Daemon };
int RunHeadless(int argc, char** argv, const std::function<void()>& onListening = {},
                HeadlessProgram program = HeadlessProgram::Server);
