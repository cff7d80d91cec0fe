// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/ui/SysTray.h"

#include <QSystemTrayIcon>

namespace server {

SysTray::SysTray(QObject* parent) : QObject(parent), Check(&QSystemTrayIcon::isSystemTrayAvailable) {}

SysTray::~SysTray() {
    RemoveTrayIcon();
}

void SysTray::setAvailabilityCheck(AvailabilityCheck check) {
    Check = check ? std::move(check) : AvailabilityCheck(&QSystemTrayIcon::isSystemTrayAvailable);
}

bool SysTray::Available() const {
    return Check();
}

void SysTray::AddTrayIcon(const QIcon& icon, const QString& tip) {
    RemoveTrayIcon();
    Icon = new QSystemTrayIcon(icon, this);
    Icon->setToolTip(tip);
    connect(Icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick)
            emit LButtonDblClick();
        else if (reason == QSystemTrayIcon::Context)
            emit RButtonDown();
    });
    Icon->show();
}

void SysTray::RemoveTrayIcon() {
    if (!Icon)
        return;
    Icon->disconnect(this);
    Icon->hide();
    // A handler of the icon's own signal may be what removes it.
    Icon->deleteLater();
    Icon = nullptr;
}

} // namespace server
