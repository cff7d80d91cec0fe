// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Text crosses the chat connection as one byte per character (Latin-1). These
// convert at the edge between what the user typed and what travels.
#include <QString>
#include <string>
#include <string_view>

namespace client {

// Latin-1 bytes of a text. A character Latin-1 cannot hold ("€", an emoji, a lone
// surrogate) becomes one "?", never two and never nothing. NUL characters are
// dropped: a NUL ends a message on the wire.
std::string ToWire(const QString& text);

// The text of wire bytes, one character per byte.
QString FromWire(std::string_view bytes);

// What a typed text looks like after a round trip over the wire.
QString WireSafe(const QString& text);

// The room password as it is sent: the typed text scrambled with the fixed key.
std::string ScramblePassword(const QString& typed);

} // namespace client
