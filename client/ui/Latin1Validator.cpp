// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/ui/Latin1Validator.h"

#include "client/core/WireText.h"
#include <QLineEdit>

namespace client {

QValidator::State Latin1Validator::validate(QString& input, int& pos) const {
    const QString clean = WireSafe(input);
    if (clean != input) {
        // Characters only ever shrink (a pair becomes one "?", NUL goes), so the
        // caret moves back by what was lost before it.
        pos -= int(input.left(pos).size() - WireSafe(input.left(pos)).size());
        input = clean;
        pos = qBound(0, pos, int(input.size()));
    }
    return Acceptable;
}

void Latin1Validator::fixup(QString& input) const {
    input = WireSafe(input);
}

void MakeLatin1(QLineEdit* box) {
    box->setValidator(new Latin1Validator(box));
}

} // namespace client
