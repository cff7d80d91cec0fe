// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A program started with standard input, output or error closed (">&-") would
// hand the next descriptor it opens (Qt's event descriptor, a socket) to code
// that writes log lines to 1 or reads commands from 0. Called first thing in
// main, before anything opens a descriptor: each closed one of 0, 1 and 2 is
// opened on /dev/null.
namespace server {
void EnsureStandardDescriptors();
}
