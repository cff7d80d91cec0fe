// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The lines sent from one input line, newest last, for Up and Down. Going up
// from the bottom keeps what was being typed (the draft); coming back down past
// the newest line gives it back.
#include <QString>
#include <QStringList>
#include <optional>

namespace client {

class InputHistory {
public:
    static constexpr qsizetype kLimit = 100;

    // A line was sent; empty lines are not kept, nor a repeat of the newest one.
    void record(const QString& line);
    // Up: the next older line, given the text now in the input line; nothing at the oldest.
    std::optional<QString> older(const QString& current);
    // Down: the next newer line, or the draft after the newest; nothing at the bottom.
    std::optional<QString> newer();

    qsizetype size() const { return lines_.size(); }

private:
    QStringList lines_;
    qsizetype position_ = 0; // lines_.size() means "at the draft"
    QString draft_;
};

} // namespace client
