// SPDX-License-Identifier: GPL-3.0-or-later
#include "about/CreditsScroller.h"

namespace about {

namespace {
// A heading, its dash line of the same length, the entries and two empty lines.
void AddBlock(QStringList& lines, const QString& heading, const QStringList& entries) {
    lines << heading << QString(heading.size(), QLatin1Char('-'));
    lines << entries;
    lines << QString() << QString();
}
} // namespace

QStringList CreditsScroller::DefaultCredits() {
    const QString team = QStringLiteral("De ZindleChat-ontwikkelaars");
    QStringList lines;
    AddBlock(lines, QStringLiteral("Geprogrammeerd door"), {team});
    AddBlock(lines, QStringLiteral("Grafisch design"), {team});
    AddBlock(lines, QStringLiteral("Ontwerp van het logo"), {team});
    AddBlock(lines, QStringLiteral("Testers"),
             {team, QStringLiteral("De gasten van de testserver"),
              QStringLiteral("Iedereen die fouten meldde"), QStringLiteral("Iedereen met goede ideeën")});
    AddBlock(lines, QStringLiteral("Groeten aan"), {QStringLiteral("Alle gebruikers van ZindleChat")});
    // Six more empty lines, so the last block scrolls out of sight before the
    // first heading comes round again.
    for (int i = 0; i < 6; ++i)
        lines << QString();
    return lines;
}

void CreditsScroller::Begin() {
    visible_.clear();
    for (int i = 0; i < kVisibleLines; ++i)
        visible_ << QString();
    if (credits_.isEmpty())
        credits_ = DefaultCredits();
}

void CreditsScroller::Step() {
    if (visible_.size() != kVisibleLines)
        Begin();
    // The counter stays within 1..size here and is set back to 0 after the last
    // line; the check before the increment keeps it in range even if the list
    // were ever shorter than the counter.
    if (counter_ < 0 || counter_ >= credits_.size())
        counter_ = 0;
    ++counter_;
    visible_.removeFirst();
    visible_.append(credits_.value(counter_ - 1));
    if (counter_ >= credits_.size())
        counter_ = 0;
}

QString CreditsScroller::caption() const {
    QString text;
    for (const QString& line : visible_)
        text += line + QStringLiteral("\r\n");
    return text;
}

QString CreditsScroller::displayText() const {
    return visible_.join(QLatin1Char('\n'));
}

CreditsScroller& SharedCredits() {
    static CreditsScroller scroller;
    return scroller;
}

} // namespace about
