// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A last word before closing. The socket object keeps a connection closed from
// our side alive until what was written has left, so the word is not lost.
#include <QByteArray>

namespace net {
class Winsock;
}

namespace client {

void SendThenClose(net::Winsock& socket, const QByteArray& word);

} // namespace client
