// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Tab completion of nicknames in an input line. The word before the caret is
// matched, without regard to case, against the start of every nickname present;
// repeated Tabs cycle through the matches in alphabetical order. A name that
// starts the line is followed by ": ", anywhere else by nothing.
#include <QString>
#include <QStringList>
#include <optional>

namespace client {

struct InputState {
    QString text;
    qsizetype caret = 0;
    bool operator==(const InputState&) const = default;
};

class NicknameCompletion {
public:
    // Tab pressed: the new text and caret, or nothing when there is nothing to
    // complete (the Tab then moves the focus as usual). `nicknames` may carry
    // the "Away|" prefix of the user list.
    std::optional<InputState> complete(const InputState& input, const QStringList& nicknames);
    // Any other key: the next Tab starts afresh.
    void reset() { cycle_.reset(); }

private:
    struct Cycle {
        QStringList matches;
        qsizetype index = 0;
        qsizetype wordStart = 0;
        InputState after; // what the last completion left; anything else ends the cycle
    };
    InputState apply(const InputState& input, qsizetype wordStart, qsizetype wordEnd,
                     const QString& name) const;
    std::optional<Cycle> cycle_;
};

} // namespace client
