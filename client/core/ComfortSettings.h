// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The switches of the conveniences beyond plain chatting, each one item of the
// "Voorkeuren" menu. Kept in section "Options" of application "ZindleChat",
// "-1" for on and "0" for off like every boolean of the client.
#include <QString>
#include <array>

namespace client {

enum class Comfort {
    InputHistory,
    NicknameCompletion,
    Links,
    FindBar,
    UnreadMarker,
    ConversationLogs,
    Notifications,
    AutoReconnect,
    Unicode
};
inline constexpr int kComfortCount = 9;

struct ComfortInfo {
    const char* key;     // settings key
    const char* caption; // menu item
    bool onByDefault;
};
const ComfortInfo& InfoOf(Comfort comfort);

class ComfortSettings {
public:
    ComfortSettings(); // every switch at its default
    bool isOn(Comfort comfort) const { return on_[std::size_t(comfort)]; }
    void set(Comfort comfort, bool on) { on_[std::size_t(comfort)] = on; }

    static ComfortSettings Load();
    // One switch at a time: the choice is kept the moment it is made.
    static void Save(Comfort comfort, bool on);

private:
    std::array<bool, kComfortCount> on_{};
};

} // namespace client
