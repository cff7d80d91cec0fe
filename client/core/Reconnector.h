// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Connecting again by itself after a loss the user did not ask for. It decides
// whether a closed session deserves a new attempt (not after the user's
// disconnect, a kick, a ban or a refused login), counts down the back-off wait
// and says when to try; the connect dialog shows the count and does the trying.
//
//   session lost -> armed; the dialog comes back -> waitForNextAttempt()
//   countdown(N) every second, then attemptDue(); the dialog connects
//   connect time-out or another loss -> wait again, longer
//   login accepted -> back-off starts from the shortest wait again
//   stop() (the user's button) or the switch off -> nothing more happens
#include "client/core/ReconnectSchedule.h"

#include <QObject>
#include <QTimer>
#include <functional>

namespace client {

class ClientSession;

class Reconnector : public QObject {
    Q_OBJECT
public:
    // A clock in ms; the default is a monotonic one.
    using Clock = std::function<qint64()>;

    explicit Reconnector(ClientSession& session, QObject* parent = nullptr);

    // The "Automatisch opnieuw verbinden" switch.
    void setEnabled(bool on);
    bool isEnabled() const { return enabled_; }

    // Tests: a manual clock and a fixed random source; call poll() to let time pass.
    void setClock(Clock clock) { clock_ = std::move(clock); }
    void setRandom(ReconnectSchedule::Random random) { schedule_ = ReconnectSchedule(std::move(random)); }

    // The last session ended in a way that deserves a new attempt.
    bool armed() const { return armed_; }
    // Waiting out the back-off.
    bool waiting() const { return waiting_; }
    // The connection under way was started by this object.
    bool attempting() const { return attempting_; }
    const ReconnectSchedule& schedule() const { return schedule_; }

    // Starts the next wait when armed and switched on; false otherwise.
    bool waitForNextAttempt();
    // The attempt this object started did not connect in time.
    void attemptFailed();
    // The user's button: no more attempts until the next lost session.
    void stop();
    // The network came back or changed: a waiting attempt goes at once.
    void networkChanged();
    // Checks the clock; the object's own timer calls it every quarter second.
    void poll();

signals:
    void countdown(int seconds);
    void attemptDue();

private:
    void sessionClosed();

    ClientSession& session_;
    ReconnectSchedule schedule_;
    Clock clock_;
    QTimer ticker_;
    bool enabled_ = true;
    bool armed_ = false;
    bool waiting_ = false;
    bool attempting_ = false;
    qint64 due_ = 0;
    int shownSeconds_ = -1;
};

} // namespace client
