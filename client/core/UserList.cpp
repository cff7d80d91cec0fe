// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/core/UserList.h"

namespace client {

QString UserList::EntryText(const QString& nickname, bool away) {
    return away ? kAwayPrefix + nickname : nickname;
}

QString UserList::StripAway(const QString& text) {
    return text.startsWith(kAwayPrefix) ? text.mid(kAwayPrefix.size()) : text;
}

int UserList::add(const QString& text, int id) {
    entries_.push_back(UserEntry{text, id});
    return int(entries_.size()) - 1;
}

void UserList::setText(int index, const QString& text) {
    entries_.at(std::size_t(index)).text = text;
}

void UserList::removeAt(int index) {
    entries_.erase(entries_.begin() + index);
}

void UserList::clear() {
    entries_.clear();
}

std::optional<int> UserList::firstIndexOf(int id) const {
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].id == id)
            return int(i);
    return std::nullopt;
}

QString UserList::nicknameOf(int id) const {
    const auto index = firstIndexOf(id);
    return index ? StripAway(entries_[std::size_t(*index)].text) : QString();
}

} // namespace client
