// SPDX-License-Identifier: GPL-3.0-or-later
// The console server alone, so its tests need nothing of the windows.
#include "server/headless/Headless.h"

int main(int argc, char** argv) {
    return RunHeadless(argc, argv);
}
