// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Cuts the control words of the direct connection out of the byte stream.
// Words carry no delimiter, so two of them may arrive in one block
// ("NEXTCHUNK" directly followed by "STOP") and one may arrive in pieces; no
// word is the beginning of another, which makes the cut unambiguous.
#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace client {

class ControlWordReader {
public:
    explicit ControlWordReader(QList<QByteArray> words);

    // Every word completed by `block`, in order. Bytes that can begin no word
    // are dropped with the rest of what is pending: such a block means nothing.
    QList<QByteArray> feed(QByteArrayView block);
    void reset() { m_pending.clear(); }

private:
    QList<QByteArray> m_words;
    QByteArray m_pending;
};

} // namespace client
