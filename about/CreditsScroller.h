// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The credits text of the About window: a fixed list of lines that moves up
// through an eight-line caption one line per step. The list and the step
// counter live as long as the program, so reopening the window carries on
// with the line after the one last shown. No widgets here: the window only
// shows caption().
#include <QString>
#include <QStringList>

namespace about {

class CreditsScroller {
public:
    static constexpr int kVisibleLines = 8;
    static constexpr int kIntervalMs = 400;

    // The 34 credit lines: five blocks of heading, dash line, entries and two
    // empty lines, then six more empty lines so the text scrolls out fully.
    static QStringList DefaultCredits();

    // Starts a showing: the caption becomes eight empty lines and the credit
    // list is filled the first time only. The counter is left where it was.
    void Begin();
    // One step: drop the caption's top line and append the next credit line.
    // After the last credit line the counter returns to 0, so it never runs past
    // the list, however long the program runs.
    void Step();

    // The visible text, each line ended by CR LF.
    QString caption() const;
    // The visible text for a label, lines joined by "\n".
    QString displayText() const;
    const QStringList& visibleLines() const { return visible_; }
    const QStringList& credits() const { return credits_; }
    int counter() const { return counter_; }

private:
    QStringList credits_;
    QStringList visible_;
    int counter_ = 0;
};

// The one scroller both programs' About windows share for the whole run.
CreditsScroller& SharedCredits();

} // namespace about
