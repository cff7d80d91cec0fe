// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The server without a window:
//   ZindleChatServer --headless [--port N] [--password TEXT] [--name TEXT] [--motd TEXT]
//                    [--no-duplicate-ip] [--chat-log on|off]
//   ZindleChatServer --help | --version
// Needs no display: it runs on a QCoreApplication of its own (or the one that exists).
int RunHeadless(int argc, char** argv);
