// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/ui/TrustedServers.h"

#include "client/core/CertificatePins.h"
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace client {

TrustedServers::TrustedServers(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TrustedServers"));
    setWindowTitle(QStringLiteral("Vertrouwde servers"));
    auto* explanation =
        new QLabel(QStringLiteral("Servers waarvan je het certificaat vertrouwt, met de "
                                  "vingerafdruk (SHA-256). Na \"Vergeten\" vraagt ZindleChat "
                                  "bij de volgende verbinding opnieuw of je de server vertrouwt."),
                   this);
    explanation->setWordWrap(true);
    lstPins = new QListWidget(this);
    lstPins->setObjectName(QStringLiteral("lstPins"));
    lstPins->setMinimumWidth(640);
    cmdForget = new QPushButton(QStringLiteral("Vergeten"), this);
    cmdForget->setObjectName(QStringLiteral("cmdForget"));
    cmdClose = new QPushButton(QStringLiteral("Sluiten"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdForget);
    buttons->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(explanation);
    layout->addWidget(lstPins);
    layout->addLayout(buttons);

    connect(cmdForget, &QPushButton::clicked, this, &TrustedServers::cmdForget_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::close);
    connect(lstPins, &QListWidget::currentRowChanged, this,
            [this](int row) { cmdForget->setEnabled(row >= 0); });
    Reload();
}

void TrustedServers::Reload() {
    lstPins->clear();
    for (const CertificatePin& pin : AllPins()) {
        auto* item = new QListWidgetItem(pin.server + QStringLiteral("   ") + pin.fingerprint, lstPins);
        item->setData(Qt::UserRole, pin.server);
    }
    cmdForget->setEnabled(lstPins->currentRow() >= 0);
}

void TrustedServers::cmdForget_Click() {
    const QListWidgetItem* item = lstPins->currentItem();
    if (!item)
        return;
    ForgetPin(item->data(Qt::UserRole).toString());
    Reload();
}

} // namespace client
