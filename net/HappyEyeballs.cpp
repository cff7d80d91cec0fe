// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/HappyEyeballs.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace net {

namespace {

// A non-blocking connect under way, or -1 when it failed at once.
int startConnect(const PeerAddress& address, quint16 port, bool* connectedAlready) {
    const bool v6 = address.family() == PeerAddress::Family::IPv6;
    const int fd = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_storage storage;
    const socklen_t length = address.ToSocketAddress(port, &storage);
    int result;
    do {
        result = ::connect(fd, reinterpret_cast<const sockaddr*>(&storage), length);
    } while (result != 0 && errno == EINTR);
    *connectedAlready = result == 0;
    if (result != 0 && errno != EINPROGRESS) {
        ::close(fd);
        return -1;
    }
    return fd;
}

HappyEyeballs::Addresses fromHostInfo(const QHostInfo& info) {
    HappyEyeballs::Addresses addresses;
    if (info.error() != QHostInfo::NoError)
        return addresses;
    for (const QHostAddress& address : info.addresses()) {
        QHostAddress plain = address;
        plain.setScopeId(QString()); // a zone cannot be written in PeerAddress text
        if (const auto parsed = PeerAddress::Parse(plain.toString().toStdString()))
            addresses.push_back(*parsed);
    }
    return addresses;
}

} // namespace

struct HappyEyeballs::Private {
    struct Attempt {
        int fd = -1;
        std::unique_ptr<QSocketNotifier> writable;
    };

    HappyEyeballs* q;
    Lookup lookup;
    Schedule schedule;
    quint64 generation = 0; // callbacks of a cancelled run see a newer one
    quint16 port = 0;
    Addresses order;
    std::size_t next = 0;
    std::vector<std::unique_ptr<Attempt>> attempts;
    bool running = false;

    explicit Private(HappyEyeballs* owner) : q(owner) {}

    void startNext();
    void onWritable(Attempt* attempt);
    void finish(Attempt* winner);
    void drop(Attempt* attempt);
    void failIfDone();
    void closeAll();
};

HappyEyeballs::HappyEyeballs(QObject* parent) : QObject(parent), d(std::make_unique<Private>(this)) {
    d->lookup = [this](const QString& host, std::function<void(const Addresses&)> done) {
        // An address needs no name service; it is answered from the event loop all
        // the same. (A lookup whose receiver goes before the answer also leaves Qt's
        // callback behind, and attempts on an address often end that quickly.)
        if (const auto literal = PeerAddress::Parse(host.toStdString())) {
            QTimer::singleShot(0, this, [done, address = *literal] { done(Addresses{address}); });
            return;
        }
        QHostInfo::lookupHost(host, this, [done](const QHostInfo& info) { done(fromHostInfo(info)); });
    };
    d->schedule = [this](int ms, std::function<void()> fire) { QTimer::singleShot(ms, this, fire); };
}

HappyEyeballs::~HappyEyeballs() {
    d->closeAll();
}

void HappyEyeballs::setLookup(Lookup lookup) {
    d->lookup = std::move(lookup);
}

void HappyEyeballs::setSchedule(Schedule schedule) {
    d->schedule = std::move(schedule);
}

HappyEyeballs::Addresses HappyEyeballs::AttemptOrder(const Addresses& addresses) {
    Addresses v6, v4, order;
    for (const PeerAddress& a : addresses)
        (a.family() == PeerAddress::Family::IPv6 ? v6 : v4).push_back(a);
    for (std::size_t i = 0; i < v6.size() || i < v4.size(); ++i) {
        if (i < v6.size())
            order.push_back(v6[i]);
        if (i < v4.size())
            order.push_back(v4[i]);
    }
    return order;
}

void HappyEyeballs::start(const QString& host, quint16 port) {
    cancel();
    d->running = true;
    d->port = port;
    const quint64 generation = d->generation;
    QPointer<HappyEyeballs> alive(this);
    d->lookup(host, [this, alive, generation](const Addresses& addresses) {
        if (!alive || generation != d->generation)
            return;
        d->order = AttemptOrder(addresses);
        d->next = 0;
        d->startNext();
    });
}

void HappyEyeballs::cancel() {
    ++d->generation;
    d->running = false;
    d->closeAll();
    d->order.clear();
    d->next = 0;
}

void HappyEyeballs::Private::startNext() {
    while (running && next < order.size()) {
        const PeerAddress address = order[next++];
        bool connectedAlready = false;
        const int fd = startConnect(address, port, &connectedAlready);
        if (fd < 0)
            continue; // that one failed at once: the next one starts now
        auto attempt = std::make_unique<Attempt>();
        attempt->fd = fd;
        Attempt* raw = attempt.get();
        attempts.push_back(std::move(attempt));
        if (connectedAlready) {
            finish(raw);
            return;
        }
        raw->writable = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
        QObject::connect(raw->writable.get(), &QSocketNotifier::activated, q,
                         [this, raw] { onWritable(raw); });
        if (next < order.size()) {
            const quint64 current = generation;
            const std::size_t expected = next;
            QPointer<HappyEyeballs> alive(q);
            // Still waiting when the delay is over: the next address joins in.
            schedule(kAttemptDelayMs, [this, alive, current, expected] {
                if (alive && current == generation && next == expected)
                    startNext();
            });
        }
        return;
    }
    failIfDone();
}

void HappyEyeballs::Private::onWritable(Attempt* attempt) {
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(attempt->fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        error = errno;
    if (error == 0) {
        finish(attempt);
        return;
    }
    const bool wasNewest = !attempts.empty() && attempts.back().get() == attempt;
    drop(attempt);
    // The newest attempt failed: the next one need not wait out the delay.
    if (wasNewest)
        startNext();
    else
        failIfDone();
}

void HappyEyeballs::Private::finish(Attempt* winner) {
    const int fd = winner->fd;
    winner->fd = -1;
    running = false;
    ++generation;
    closeAll();
    emit q->Connected(fd);
}

void HappyEyeballs::Private::drop(Attempt* attempt) {
    for (auto it = attempts.begin(); it != attempts.end(); ++it) {
        if (it->get() != attempt)
            continue;
        // The notifier may be the sender of this very call: it goes later.
        if (attempt->writable) {
            attempt->writable->setEnabled(false);
            attempt->writable.release()->deleteLater();
        }
        ::close(attempt->fd);
        attempts.erase(it);
        return;
    }
}

void HappyEyeballs::Private::failIfDone() {
    if (!running || !attempts.empty() || next < order.size())
        return;
    running = false;
    emit q->Failed();
}

void HappyEyeballs::Private::closeAll() {
    for (auto& attempt : attempts) {
        if (attempt->writable) {
            attempt->writable->setEnabled(false);
            attempt->writable.release()->deleteLater();
        }
        if (attempt->fd >= 0)
            ::close(attempt->fd);
    }
    attempts.clear();
}

} // namespace net
