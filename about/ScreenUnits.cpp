// SPDX-License-Identifier: GPL-3.0-or-later
// Out-of-line anchor for the shared widget helpers.
#include "about/ScreenUnits.h"
