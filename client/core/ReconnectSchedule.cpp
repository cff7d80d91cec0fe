// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/core/ReconnectSchedule.h"

#include <QRandomGenerator>
#include <algorithm>
#include <array>
#include <cmath>

namespace client {

namespace {
constexpr std::array<int, 6> kBaseSeconds{2, 4, 8, 16, 30, 60};
constexpr double kJitter = 0.2;
} // namespace

ReconnectSchedule::ReconnectSchedule(Random random) : random_(std::move(random)) {
    if (!random_)
        random_ = [] { return QRandomGenerator::global()->generateDouble(); };
}

int ReconnectSchedule::BaseSeconds(int step) {
    return kBaseSeconds[std::size_t(std::clamp(step, 0, int(kBaseSeconds.size()) - 1))];
}

int ReconnectSchedule::nextDelayMs() {
    const double factor = 1.0 + kJitter * (2.0 * std::clamp(random_(), 0.0, 1.0) - 1.0);
    const int delay = int(std::lround(BaseSeconds(step_) * 1000.0 * factor));
    if (step_ < int(kBaseSeconds.size()) - 1)
        ++step_;
    return delay;
}

QString ReconnectSchedule::StatusText(int seconds) {
    return QStringLiteral("Opnieuw verbinden over %1 s...").arg(seconds);
}

} // namespace client
