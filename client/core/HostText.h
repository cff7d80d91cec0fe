// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where to connect, as a user writes it:
//   "chat.example.org"        a host name (up to 253 characters)
//   "chat.example.org:4000"   with a port
//   "192.0.2.7", "192.0.2.7:4000"
//   "2001:db8::1"             an IPv6 address alone (its colons are no port)
//   "[2001:db8::1]", "[2001:db8::1]:4000"
#include <QString>

namespace client {

struct HostAndPort {
    QString host; // without brackets
    QString port; // as written; the default when none was
};

// Splits one word into host and port. A bracket it cannot split ("[::1", "[::1]x")
// comes back whole as the host, for ValidHost to refuse.
HostAndPort SplitHostPort(const QString& word, const QString& defaultPort);

// A host name or an IP address, optionally in brackets; *host gets it without
// brackets and surrounding blanks. False for anything else.
bool ValidHost(const QString& text, QString* host);

// The longest host name the name service takes.
inline constexpr int kMaxHostLength = 253;

} // namespace client
