// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The server's icon in the notification area. Only one icon exists at a time;
// adding it again replaces the old one. A double-click and the right button are
// passed on as signals; a single click does nothing.
#include <QIcon>
#include <QObject>
#include <QString>
#include <functional>

class QSystemTrayIcon;

namespace server {

class SysTray : public QObject {
    Q_OBJECT
public:
    explicit SysTray(QObject* parent = nullptr);
    ~SysTray() override;

    // Whether the desktop has a notification area. Tests replace the check.
    using AvailabilityCheck = std::function<bool()>;
    void setAvailabilityCheck(AvailabilityCheck check);
    bool Available() const;

    void AddTrayIcon(const QIcon& icon, const QString& tip);
    void RemoveTrayIcon();
    bool HasIcon() const { return Icon != nullptr; }
    // The icon object while it exists, so its activations can be simulated.
    QSystemTrayIcon* TrayIcon() const { return Icon; }

signals:
    void LButtonDblClick();
    void RButtonDown();

private:
    QSystemTrayIcon* Icon = nullptr;
    AvailabilityCheck Check;
};

} // namespace server
