// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Whether a public line calls the user by name, for a desktop notification.
#include <QString>
#include <optional>

namespace client {

// When and with what text a conversation line is worth a notification.
struct Mention {
    QString speaker;
    QString text;
};
// A public line (as the transcript gets it) by someone else that names `nickname`
// as a word of its own, in any case; chat lines "nick> text" and actions
// "* nick text" only.
std::optional<Mention> FindMention(const QString& line, const QString& nickname);

} // namespace client
