// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/core/Reconnector.h"

#include "client/core/ClientSession.h"

#include <QElapsedTimer>

namespace client {

namespace {
constexpr int kPollMs = 250;
} // namespace

Reconnector::Reconnector(ClientSession& session, QObject* parent) : QObject(parent), session_(session) {
    auto monotonic = std::make_shared<QElapsedTimer>();
    monotonic->start();
    clock_ = [monotonic] { return monotonic->elapsed(); };
    ticker_.setInterval(kPollMs);
    connect(&ticker_, &QTimer::timeout, this, &Reconnector::poll);
    connect(&session_, &ClientSession::loggedIn, this, [this] {
        schedule_.reset();
        attempting_ = false;
    });
    connect(&session_, &ClientSession::sessionClosed, this, &Reconnector::sessionClosed);
}

void Reconnector::setEnabled(bool on) {
    enabled_ = on;
    if (!on)
        stop();
}

void Reconnector::sessionClosed() {
    // A loss while logging in after our own attempt also counts: the server may
    // have been half-way up.
    armed_ = session_.ending() == ClientSession::Ending::Lost;
    attempting_ = false;
    if (!armed_)
        schedule_.reset();
}

bool Reconnector::waitForNextAttempt() {
    if (!enabled_ || !armed_)
        return false;
    attempting_ = false;
    waiting_ = true;
    due_ = clock_() + schedule_.nextDelayMs();
    shownSeconds_ = -1;
    ticker_.start();
    poll();
    return true;
}

void Reconnector::attemptFailed() {
    if (attempting_)
        waitForNextAttempt();
}

void Reconnector::stop() {
    armed_ = false;
    waiting_ = false;
    attempting_ = false;
    ticker_.stop();
    schedule_.reset();
}

void Reconnector::networkChanged() {
    if (waiting_)
        due_ = clock_();
    poll();
}

void Reconnector::poll() {
    if (!waiting_)
        return;
    const qint64 left = due_ - clock_();
    if (left > 0) {
        const int seconds = int((left + 999) / 1000);
        if (seconds != shownSeconds_) {
            shownSeconds_ = seconds;
            emit countdown(seconds);
        }
        return;
    }
    waiting_ = false;
    ticker_.stop();
    attempting_ = true;
    emit attemptDue();
}

} // namespace client
