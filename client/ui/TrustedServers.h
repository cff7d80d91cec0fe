// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "Vertrouwde servers": the pinned certificates, one line per server with its
// fingerprint, and "Vergeten" to drop one. Forgetting is the deliberate way to
// accept a server whose certificate really changed: the next connection asks
// again as on first contact.
#include <QDialog>

class QListWidget;
class QPushButton;

namespace client {

class TrustedServers : public QDialog {
    Q_OBJECT
public:
    explicit TrustedServers(QWidget* parent = nullptr);

    // Reads the pins again.
    void Reload();

    QListWidget* lstPins = nullptr;
    QPushButton* cmdForget = nullptr;
    QPushButton* cmdClose = nullptr;

private:
    void cmdForget_Click();
};

} // namespace client
