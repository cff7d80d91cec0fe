// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/ui/Latin1Validator.h"

#include "client/core/WireText.h"
#include <QLineEdit>
#include <algorithm>

namespace client {

Latin1Validator::Latin1Validator(QLineEdit* box, int typedLimit)
    : QValidator(box), box(box), typedLimit(typedLimit) {}

QValidator::State Latin1Validator::validate(QString& input, int& pos) const {
    const QString clean = WireSafe(input);
    if (clean != input) {
        // Characters only ever shrink (a pair becomes one "?", NUL goes), so the
        // caret moves back by what was lost before it.
        pos -= int(input.left(pos).size() - WireSafe(input.left(pos)).size());
        input = clean;
        pos = qBound(0, pos, int(input.size()));
    }
    limitTyping(input, pos);
    return Acceptable;
}

// The box runs its validator for setText() too, with its modified flag cleared;
// only the user's own edits set it.
void Latin1Validator::limitTyping(QString& input, int& pos) const {
    if (typedLimit < 0)
        return;
    if (!box->isModified()) {
        givenLength = input.size();
        return;
    }
    const qsizetype room = std::max<qsizetype>(typedLimit, givenLength);
    const qsizetype excess = input.size() - room;
    if (excess <= 0)
        return;
    // What was just typed or pasted ends at the caret: its tail gives way.
    const int start = int(std::max<qsizetype>(0, pos - excess));
    input.remove(start, excess);
    pos = start;
}

void Latin1Validator::fixup(QString& input) const {
    input = WireSafe(input);
}

void MakeLatin1(QLineEdit* box, int typedLimit) {
    box->setValidator(new Latin1Validator(box, typedLimit));
}

} // namespace client
