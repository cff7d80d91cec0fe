// SPDX-License-Identifier: GPL-3.0-or-later
#include "TransferAccessibility.h"

#include "about/Accessibility.h"
#include <QLabel>
#include <QProgressBar>
#include <QWidget>

namespace client {

namespace {
template <class W> W* Part(QWidget* window, const char* name) {
    return window->findChild<W*>(QString::fromLatin1(name));
}

void NameProgress(QWidget* window) {
    auto* status = Part<QLabel>(window, "lblStatus");
    ui::TieCaption(window, QStringLiteral("Status:"), status);
    ui::SetAccessible(status, QStringLiteral("Status"));
    ui::SetAccessible(Part<QProgressBar>(window, "ProgressBar1"), QStringLiteral("Voortgang"));
}
} // namespace

void MakeSendWindowAccessible(QWidget* window) {
    auto* file = Part<QWidget>(window, "txtFileName");
    ui::TieCaption(window, QStringLiteral("Te versturen bestand:"), file);
    ui::SetAccessible(file, QStringLiteral("Te versturen bestand"),
                      QStringLiteral("Typ het pad, of sleep het bestand hierheen"));
    ui::SetAccessible(Part<QWidget>(window, "cmdBrowse"), QStringLiteral("Bladeren"),
                      QStringLiteral("Een bestand kiezen"));
    NameProgress(window);
}

void MakeReceiveWindowAccessible(QWidget* window) {
    auto* question = Part<QWidget>(window, "frQuestion");
    ui::TieCaption(question, QStringLiteral("Bestand:"), Part<QWidget>(question, "lblFileName"));
    ui::TieCaption(question, QStringLiteral("Gebruiker:"), Part<QWidget>(question, "lblRemoteUser"));
    ui::SetAccessible(Part<QWidget>(question, "cmdYes"), QStringLiteral("Ja"),
                      QStringLiteral("Het bestand ontvangen"));
    ui::SetAccessible(Part<QWidget>(question, "cmdNo"), QStringLiteral("Nee"),
                      QStringLiteral("Het bestand weigeren"));
    ui::TieCaption(window, QStringLiteral("Te ontvangen bestand:"), Part<QWidget>(window, "txtFileName"));
    NameProgress(window);
}

} // namespace client
