// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Connecting to a name that has addresses of both families without waiting for
// the broken one: the addresses are tried in turn, IPv6 first and the families
// alternating; the next attempt starts when the one before fails or has not
// connected within 250 ms, earlier ones keep trying, and the first connection
// made wins. The others are closed.
//
// The result is a connected, non-blocking socket descriptor that the receiver of
// Connected() owns (Winsock adopts it). When every attempt fails, Failed(); a
// caller that needs an answer sooner keeps its own time-out and calls cancel().
#include "net/PeerAddress.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace net {

class HappyEyeballs : public QObject {
    Q_OBJECT
public:
    // Answers a name with its addresses, in the name service's order, by calling
    // done (later, or at once). An empty answer: the name is unknown.
    using Addresses = std::vector<PeerAddress>;
    using Lookup = std::function<void(const QString& host, std::function<void(const Addresses&)> done)>;
    // Calls fire after ms milliseconds.
    using Schedule = std::function<void(int ms, std::function<void()> fire)>;

    static constexpr int kAttemptDelayMs = 250;

    explicit HappyEyeballs(QObject* parent = nullptr);
    ~HappyEyeballs() override;

    // Tests replace the name service and the clock.
    void setLookup(Lookup lookup);
    void setSchedule(Schedule schedule);

    void start(const QString& host, quint16 port);
    // Stops every attempt and closes what they opened; nothing is raised after.
    void cancel();

    // The order of the attempts: the first IPv6 address, the first IPv4 one, the
    // second IPv6 one, and so on; within a family the name service's order.
    static Addresses AttemptOrder(const Addresses& addresses);

signals:
    void Connected(qintptr descriptor);
    void Failed();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace net
