// SPDX-License-Identifier: GPL-3.0-or-later
#include "PlainTransferNote.h"

#include <QLabel>

QLabel* PlainTransferNote(QWidget* parent) {
    auto* note = new QLabel(QStringLiteral("Let op: bestanden gaan onversleuteld rechtstreeks van de ene "
                                           "gebruiker naar de andere, niet via de server."),
                            parent);
    note->setObjectName(QStringLiteral("lblUnencrypted"));
    note->setWordWrap(true);
    return note;
}
