// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/core/Mentions.h"

namespace client {

namespace {
bool NamePart(QChar c) {
    return c.isLetterOrNumber() || c == u'_' || c == u'-';
}

QString WithoutLineEnd(QString text) {
    while (text.endsWith(u'\n') || text.endsWith(u'\r'))
        text.chop(1);
    return text;
}
} // namespace

std::optional<Mention> FindMention(const QString& line, const QString& nickname) {
    if (nickname.isEmpty())
        return std::nullopt;
    Mention mention;
    const qsizetype mark = line.indexOf(QStringLiteral("> "));
    if (mark > 0) {
        mention.speaker = line.left(mark);
        mention.text = line.mid(mark + 2);
    } else if (line.startsWith(QStringLiteral("* "))) {
        const qsizetype end = line.indexOf(u' ', 2);
        if (end < 0)
            return std::nullopt;
        mention.speaker = line.mid(2, end - 2);
        mention.text = line.mid(end + 1);
    } else {
        return std::nullopt;
    }
    if (mention.speaker == nickname)
        return std::nullopt; // the own line, back from the server
    mention.text = WithoutLineEnd(mention.text);
    for (qsizetype at = mention.text.indexOf(nickname, 0, Qt::CaseInsensitive); at >= 0;
         at = mention.text.indexOf(nickname, at + 1, Qt::CaseInsensitive)) {
        const qsizetype end = at + nickname.size();
        const bool startsWord = at == 0 || !NamePart(mention.text.at(at - 1));
        const bool endsWord = end == mention.text.size() || !NamePart(mention.text.at(end));
        if (startsWord && endsWord)
            return mention;
    }
    return std::nullopt;
}

} // namespace client
