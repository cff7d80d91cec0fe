// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/core/LinkSpans.h"

#include <array>

namespace client {

namespace {
struct Prefix {
    QLatin1StringView text;
    QLatin1StringView opensWith; // put before the link when it is opened
};
constexpr std::array<Prefix, 4> kPrefixes{{
    {QLatin1StringView("http://"), {}},
    {QLatin1StringView("https://"), {}},
    {QLatin1StringView("mailto:"), {}},
    {QLatin1StringView("www."), QLatin1StringView("http://")},
}};

bool EndsLink(QChar c) {
    const char16_t u = c.unicode();
    return c.isSpace() || u < 0x20 || (u >= 0x7F && u <= 0x9F) || u == u'<' || u == u'>' || u == u'"';
}

// Punctuation that ends a sentence rather than an address.
bool TrailingPunctuation(QChar c) {
    return QStringView(u".,;:!?'").contains(c);
}

bool WordCharacter(QChar c) {
    return c.isLetterOrNumber() || c == u'_' || c == u'-' || c == u'.' || c == u'@' || c == u'/';
}

// Drops what belongs to the sentence from the end of a candidate: trailing
// punctuation, and closing brackets that have no opening one inside the link.
// The brackets are counted once, so a line of a thousand ")" costs a thousand steps.
qsizetype TrimEnd(QStringView link) {
    const QStringView closers(u")]}"), openers(u"([{");
    std::array<qsizetype, 3> open{}, shut{};
    for (QChar c : link) {
        if (const qsizetype k = openers.indexOf(c); k >= 0)
            ++open[std::size_t(k)];
        else if (const qsizetype k2 = closers.indexOf(c); k2 >= 0)
            ++shut[std::size_t(k2)];
    }
    qsizetype end = link.size();
    while (end > 0) {
        const QChar last = link.at(end - 1);
        if (TrailingPunctuation(last)) {
            --end;
            continue;
        }
        const qsizetype kind = closers.indexOf(last);
        if (kind < 0 || open[std::size_t(kind)] >= shut[std::size_t(kind)])
            break;
        --shut[std::size_t(kind)];
        --end;
    }
    return end;
}
} // namespace

std::vector<LinkSpan> FindLinks(QStringView text) {
    std::vector<LinkSpan> spans;
    qsizetype i = 0;
    while (i < text.size()) {
        const Prefix* found = nullptr;
        if (i == 0 || !WordCharacter(text.at(i - 1))) {
            for (const Prefix& prefix : kPrefixes)
                if (text.mid(i).startsWith(prefix.text, Qt::CaseInsensitive))
                    found = &prefix;
        }
        if (!found) {
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < text.size() && !EndsLink(text.at(end)))
            ++end;
        const qsizetype length = TrimEnd(text.mid(i, end - i));
        // A bare beginning ("http://", "www.") is no address.
        if (length > found->text.size()) {
            const QString link = text.mid(i, length).toString();
            spans.push_back({i, length, found->opensWith + link});
            i += length;
        } else {
            i = end;
        }
    }
    return spans;
}

QUrl OpenableUrl(const QUrl& url) {
    if (url.scheme().compare(QLatin1String("mailto"), Qt::CaseInsensitive) != 0 || !url.hasQuery())
        return url;
    // Parameters are read by hand: a mail program reads "%61ttach" as "attach" too.
    QStringList kept;
    for (const QString& item : url.query(QUrl::FullyEncoded).split(QLatin1Char('&'))) {
        const QString key =
            QUrl::fromPercentEncoding(item.section(QLatin1Char('='), 0, 0).toUtf8()).trimmed();
        if (!key.startsWith(QLatin1String("attach"), Qt::CaseInsensitive))
            kept.append(item);
    }
    QUrl safe = url;
    safe.setQuery(kept.isEmpty() ? QString() : kept.join(QLatin1Char('&')));
    return safe;
}

} // namespace client
