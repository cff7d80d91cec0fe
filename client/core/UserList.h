// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The users present, in the order the server announced them. Entry text is the
// nickname, or "Away|" + nickname while that user is away; entry data is the
// user id (the server's slot number). The window's list box mirrors this.
#include <QString>
#include <optional>
#include <vector>

namespace client {

struct UserEntry {
    QString text;
    int id = 0;
};

class UserList {
public:
    static inline const QString kAwayPrefix = QStringLiteral("Away|");

    static QString EntryText(const QString& nickname, bool away);
    // The nickname of an entry text: without a leading "Away|".
    static QString StripAway(const QString& text);

    int add(const QString& text, int id); // returns the new index
    void setText(int index, const QString& text);
    void removeAt(int index);
    void clear();

    std::optional<int> firstIndexOf(int id) const;
    // The nickname of the first entry with this id, "" when none.
    QString nicknameOf(int id) const;

    int count() const { return int(entries_.size()); }
    const UserEntry& at(int index) const { return entries_.at(std::size_t(index)); }
    const std::vector<UserEntry>& entries() const { return entries_; }

private:
    std::vector<UserEntry> entries_;
};

} // namespace client
