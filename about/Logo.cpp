// SPDX-License-Identifier: GPL-3.0-or-later
#include "about/Logo.h"
#include <array>

namespace about {

namespace {
constexpr std::array kRenderedSizes{16, 32, 48, 64, 128, 256};

QString ResourcePath(int size) {
    return QStringLiteral(":/zindlechat/icons/zindlechat-%1.png").arg(size);
}
} // namespace

QPixmap Logo(int size) {
    if (size < 1)
        return {};
    int source = kRenderedSizes.back();
    for (int rendered : kRenderedSizes) {
        if (rendered >= size) {
            source = rendered;
            break;
        }
    }
    QPixmap pixmap(ResourcePath(source));
    if (pixmap.isNull() || pixmap.width() == size)
        return pixmap;
    return pixmap.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

QIcon LogoIcon() {
    QIcon icon;
    for (int rendered : kRenderedSizes)
        icon.addFile(ResourcePath(rendered), QSize(rendered, rendered));
    return icon;
}

} // namespace about
