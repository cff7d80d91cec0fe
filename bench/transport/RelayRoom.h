// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The relay of the transport bench, the same over either transport. Lines end
// with '\n'. "A" and "B" name the two chatting connections (answered "ok");
// every other line from one of them goes to the other, and a line from A also to
// every connection that said "L" (a listener, not answered). "S" asks how many
// connections are open and how many listen ("open listeners"). Idle connections
// say nothing.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace transportbench {

class RelayRoom {
public:
    using Send = std::function<void(int slot, const char* data, std::size_t size)>;
    explicit RelayRoom(Send send) : send_(std::move(send)) {}

    void opened(int) { ++open_; }
    void closed(int slot);
    void arrived(int slot, const char* data, std::size_t size);
    int openConnections() const { return open_; }

private:
    void line(int slot, std::string_view withNewline);

    Send send_;
    int open_ = 0;
    int a_ = -1, b_ = -1;
    std::unordered_map<int, std::string> partial_; // only slots that have spoken
    std::vector<int> listeners_;
};

} // namespace transportbench
