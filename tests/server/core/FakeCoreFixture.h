// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A started ServerCore over the in-memory connection table, on a clock the test
// moves by hand: every event is raised by the test and handled before the call
// returns.
#include "server/core/ServerCore.h"
#include "tests/server/core/Occurrences.h"
#include "tests/support/FakeTransport.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>

namespace testing_support {

inline std::string Command(std::string_view body) {
    return std::string("\xFF\xFF", 2) + std::string(body);
}
inline std::string Framed(std::string_view text) {
    return std::string(text) + '\0';
}

class FakeCoreTest : public ::testing::Test {
protected:
    FakeCoreTest() : fake(new FakeTransport), core(fake) {
        core.setClock([this] { return fake->now; });
    }

    void SetUp() override { ASSERT_TRUE(core.StartServer(QStringLiteral("12345"))); }

    int Connect(const QString& ip = QStringLiteral("127.0.0.1")) { return fake->Request(ip, nextPort++); }
    void Say(int slot, std::string_view text) { fake->Arrive(slot, Framed(text)); }
    void SayCmd(int slot, std::string_view body) { Say(slot, Command(body)); }
    void Cack(int slot, std::string_view nickname, std::string_view scrambled = {}) {
        SayCmd(slot, "CACK" + std::string(nickname) + "#" + std::string(scrambled) + "#0.2 build \\#0013");
    }
    // A connection that went through the whole login.
    int LoggedIn(std::string_view nickname, const QString& ip = QStringLiteral("127.0.0.1")) {
        const int slot = Connect(ip);
        Cack(slot, nickname);
        SayCmd(slot, "ACKD");
        EXPECT_TRUE(core.IsLoggedIn(slot)) << nickname;
        return slot;
    }
    std::vector<std::string> Got(int slot) const { return fake->Messages(slot); }
    std::size_t CountOf(int slot, const std::string& message) const {
        std::size_t n = 0;
        for (const auto& m : Got(slot))
            n += m == message ? 1 : 0;
        return n;
    }
    bool LogHas(std::string_view text) { return core.Log().Bytes().find(text) != std::string_view::npos; }
    std::size_t LogCount(std::string_view text) { return Occurrences(core.Log().Bytes(), text); }
    // Runs then() once, the first time the core hands bytes to slot: scripted re-entry.
    void WhenSentTo(int slot, std::function<void()> then) {
        fake->onSend = [this, slot, then = std::move(then)](int to) {
            if (to != slot)
                return;
            fake->onSend = nullptr; // the transport runs a copy of the hook
            then();
        };
    }
    void Advance(std::int64_t ms) {
        fake->now += ms;
        core.Tick();
    }

    FakeTransport* fake; // owned by the core
    server::ServerCore core;
    quint16 nextPort = 40000;
};

} // namespace testing_support
