#pragma once
// A last word before closing: written, given a moment to leave, then the socket closes.
#include <QByteArray>

namespace net {
class Winsock;
}

namespace client {

// Waits at most `limitMs` for the bytes to leave, running pending events
// meanwhile: callers must set their state first and re-check what they own after.
void SendThenClose(net::Winsock& socket, const QByteArray& word, int limitMs = 1000);

} // namespace client
