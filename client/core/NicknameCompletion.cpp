// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/core/NicknameCompletion.h"

#include "client/core/UserList.h"

#include <algorithm>

namespace client {

namespace {
const QString kLineStartSuffix = QStringLiteral(": ");
} // namespace

InputState NicknameCompletion::apply(const InputState& input, qsizetype wordStart, qsizetype wordEnd,
                                     const QString& name) const {
    const QString inserted = wordStart == 0 ? name + kLineStartSuffix : name;
    InputState out;
    out.text = input.text.left(wordStart) + inserted + input.text.mid(wordEnd);
    out.caret = wordStart + inserted.size();
    return out;
}

std::optional<InputState> NicknameCompletion::complete(const InputState& input,
                                                       const QStringList& nicknames) {
    if (cycle_ && cycle_->after == input && cycle_->matches.size() > 0) {
        // The same Tab again: swap the last completion for the next match.
        cycle_->index = (cycle_->index + 1) % cycle_->matches.size();
        const InputState out =
            apply(input, cycle_->wordStart, input.caret, cycle_->matches.at(cycle_->index));
        cycle_->after = out;
        return out;
    }
    cycle_.reset();

    const qsizetype caret = std::clamp<qsizetype>(input.caret, 0, input.text.size());
    qsizetype wordStart = caret;
    while (wordStart > 0 && !input.text.at(wordStart - 1).isSpace())
        --wordStart;
    const QString prefix = input.text.mid(wordStart, caret - wordStart);
    if (prefix.isEmpty())
        return std::nullopt;

    QStringList matches;
    for (const QString& entry : nicknames) {
        const QString name = UserList::StripAway(entry);
        if (!name.isEmpty() && name.startsWith(prefix, Qt::CaseInsensitive) && !matches.contains(name))
            matches.append(name);
    }
    if (matches.isEmpty())
        return std::nullopt;
    std::sort(matches.begin(), matches.end(), [](const QString& a, const QString& b) {
        const int order = a.compare(b, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a < b;
    });

    Cycle cycle{matches, 0, wordStart, {}};
    cycle.after = apply(input, wordStart, caret, matches.first());
    cycle_ = cycle;
    return cycle_->after;
}

} // namespace client
