// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the web and mail addresses are in a line of chat text. Only these four
// beginnings make a link, at the start of a word and in any case:
//
//   http://...   https://...   mailto:...   www....   (www. opens as http://www....)
//
// A link runs to the next blank, control character or one of < > "; full stops,
// commas and the like at its end belong to the sentence, and so does a closing
// bracket that opened before the link. Nothing else in a line is ever read as
// markup: the spans are the only thing that differs from plain text.
#include <QString>
#include <QStringView>
#include <QUrl>
#include <vector>

namespace client {

struct LinkSpan {
    qsizetype start = 0;
    qsizetype length = 0;
    QString url; // what a click opens
    bool operator==(const LinkSpan&) const = default;
};

std::vector<LinkSpan> FindLinks(QStringView text);

// What a click may open: a mailto: link loses the parameters that would make the
// mail program attach a file ("attach=", "attachment=" and the like), so that a
// chat partner cannot have the user's files mailed to them by a click.
QUrl OpenableUrl(const QUrl& url);

} // namespace client
