// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How long to wait before each new attempt after a lost connection: about 2, 4,
// 8, 16, 30 and from then on 60 seconds, each stretched or shortened by up to a
// fifth at random, so that a room full of clients that lost the same server does
// not knock on its door in the same second.
#include <QString>
#include <functional>

namespace client {

class ReconnectSchedule {
public:
    // A number in [0, 1); the default draws from the system's generator.
    using Random = std::function<double()>;
    explicit ReconnectSchedule(Random random = {});

    // The wait before the next attempt, in ms; every call moves one step on.
    int nextDelayMs();
    // A successful login: the next loss starts from the shortest wait again.
    void reset() { step_ = 0; }
    int step() const { return step_; }

    // The wait of step n without jitter, in seconds.
    static int BaseSeconds(int step);
    // The connect dialog's status while it waits.
    static QString StatusText(int seconds);

private:
    Random random_;
    int step_ = 0;
};

} // namespace client
