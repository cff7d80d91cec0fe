// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/ui/TrustPrompt.h"

#include "client/core/ServerTrust.h"
#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>

namespace client {

namespace {
const QString kTitle = QStringLiteral("ZindleChat");
} // namespace

TrustPrompt::TrustPrompt(ServerTrust& trust, QWidget* parent, Prompts prompts)
    : QObject(parent), trust_(trust), parent_(parent), prompts_(std::move(prompts)) {
    connect(&trust_, &ServerTrust::askTrust, this, &TrustPrompt::ask);
    connect(&trust_, &ServerTrust::askWithdrawn, this, &TrustPrompt::withdraw);
    connect(&trust_, &ServerTrust::identityChanged, this,
            [this](const QString& server, const QString& pinned, const QString& presented) {
                prompts_.notifyLater(parent_, QMessageBox::Critical, kTitle,
                                     ChangedText(server, pinned, presented));
            });
}

QString TrustPrompt::QuestionText(const QString& server, const QString& fingerprint) {
    return QStringLiteral("Je verbindt voor het eerst versleuteld met %1. Geen bekende certificaatautoriteit "
                          "staat voor het certificaat van deze server in.\n\n"
                          "Vingerafdruk (SHA-256):\n%2\n\n"
                          "Vergelijk deze vingerafdruk met die in het venster van de server, of vraag hem "
                          "aan de beheerder. Wil je deze server vertrouwen? Dan onthoudt ZindleChat hem.")
        .arg(server, fingerprint);
}

QString TrustPrompt::ChangedText(const QString& server, const QString& pinned, const QString& presented) {
    return QStringLiteral(
               "DE IDENTITEIT VAN DE SERVER %1 IS VERANDERD.\n\n"
               "De server laat een ander certificaat zien dan het certificaat dat je vertrouwt. "
               "Misschien luistert iemand mee. Er is geen nickname en geen wachtwoord verstuurd.\n\n"
               "Bekende vingerafdruk (SHA-256):\n%2\n\n"
               "Nieuwe vingerafdruk (SHA-256):\n%3\n\n"
               "Heeft de beheerder de server echt een nieuw certificaat gegeven? Vergelijk dan de "
               "nieuwe vingerafdruk met hem en vergeet de oude onder Opties > Voorkeuren > "
               "Vertrouwde servers.")
        .arg(server, pinned, presented);
}

void TrustPrompt::ask(const QString& server, const QString& fingerprint) {
    withdraw();
    auto* box = new QMessageBox(QMessageBox::Question, kTitle, QuestionText(server, fingerprint),
                                QMessageBox::NoButton, parent_);
    box->setObjectName(QStringLiteral("TrustQuestion"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    QPushButton* yes = box->addButton(QStringLiteral("Ja"), QMessageBox::YesRole);
    QPushButton* no = box->addButton(QStringLiteral("Nee"), QMessageBox::NoRole);
    // Enter or Escape by reflex does not trust a server.
    box->setDefaultButton(no);
    box->setEscapeButton(no);
    question_ = box;
    // Whatever closes the box without "Ja" is a "Nee".
    connect(box, &QMessageBox::finished, this, [this, box, yes] {
        if (question_ != box)
            return; // withdrawn
        question_ = nullptr;
        trust_.answer(box->clickedButton() == yes);
    });
    box->open();
}

void TrustPrompt::withdraw() {
    if (QMessageBox* box = question_) {
        question_ = nullptr;
        box->close();
    }
}

} // namespace client
