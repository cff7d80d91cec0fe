// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Text crosses the chat connection as one byte per character (Latin-1). These
// convert at the edge between what the user typed and what travels.
#include <QString>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace client {

// Latin-1 bytes of a text. A character Latin-1 cannot hold ("€", an emoji, a lone
// surrogate) becomes one "?", never two and never nothing. NUL characters are
// dropped: a NUL ends a message on the wire.
std::string ToWire(const QString& text);

// The text of wire bytes, one character per byte.
QString FromWire(std::string_view bytes);

// What a typed text looks like after a round trip over the wire.
QString WireSafe(const QString& text);

// Chat text (lines, private messages, file names) may travel as UTF-8: Latin-1
// bytes when every character fits, exactly as peers without UTF-8 expect, UTF-8
// otherwise. Received bytes that are valid UTF-8 holding at least one multi-byte
// sequence are read as UTF-8, anything else as Latin-1. With the switch off
// (SetUnicode) both directions are plain Latin-1 as above. Nicknames, hosts and
// the password always stay Latin-1.
void SetUnicode(bool on);
bool UnicodeOn();
std::string EncodeText(const QString& text);
QString DecodeText(std::string_view bytes);
// What a chat text looks like to the others after a round trip.
QString SendableText(const QString& text);
// True for valid UTF-8 with at least one byte of 0x80 or more.
bool IsMultiByteUtf8(std::string_view bytes);
// Where a text holds characters that cannot travel as they are: pairs of
// (position, length) in UTF-16 units; none while UTF-8 is on (only NUL).
std::vector<std::pair<qsizetype, qsizetype>> UnsendableRuns(const QString& text);

// The room password as it is sent: the typed text scrambled with the fixed key.
std::string ScramblePassword(const QString& typed);

} // namespace client
