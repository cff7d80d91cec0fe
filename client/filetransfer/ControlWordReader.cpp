// SPDX-License-Identifier: GPL-3.0-or-later
#include "ControlWordReader.h"

namespace client {

ControlWordReader::ControlWordReader(QList<QByteArray> words) : m_words(std::move(words)) {}

QList<QByteArray> ControlWordReader::feed(QByteArrayView block) {
    QList<QByteArray> found;
    m_pending.append(block);
    qsizetype pos = 0;
    while (pos < m_pending.size()) {
        const QByteArrayView rest = QByteArrayView(m_pending).sliced(pos);
        bool matched = false, partial = false;
        for (const QByteArray& word : m_words) {
            if (rest.startsWith(word)) {
                found << word;
                pos += word.size();
                matched = true;
                break;
            }
            if (QByteArrayView(word).startsWith(rest))
                partial = true;
        }
        if (matched)
            continue;
        if (partial) { // the rest of a word is still on its way
            m_pending.remove(0, pos);
            return found;
        }
        break; // nothing can start here: ignore what is left
    }
    m_pending.clear();
    return found;
}

} // namespace client
