// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The ZindleChat logo, shipped inside the program as a Qt resource.
#include <QIcon>
#include <QPixmap>

namespace about {

// The logo as a square pixmap of the given size in pixels, taken from the
// nearest rendered size not smaller than it (or the largest) and scaled.
// Returns a null pixmap for sizes below 1.
QPixmap Logo(int size);
// All rendered sizes in one icon, for window icons and the tray.
QIcon LogoIcon();

} // namespace about
