// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChatProbe.h"

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <time.h>

qint64 MonotonicNs() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

ChatProbe::ChatProbe(quint16 port, QObject* parent) : QObject(parent) {
    connect(&m_socket, &net::Winsock::DataArrival, this, &ChatProbe::onData);
    m_socket.connectToHost(QStringLiteral("127.0.0.1"), port);
}

void ChatProbe::onData() {
    const qint64 now = MonotonicNs();
    m_rest += m_socket.getData();
    qsizetype end;
    while ((end = m_rest.indexOf('\n')) >= 0) {
        const qint64 sent = m_rest.left(end).toLongLong();
        m_rest.remove(0, end + 1);
        if (m_counting)
            m_latencyUs.push_back((now - sent) / 1000);
    }
}

QString ChatProbe::summary() const {
    std::vector<qint64> v = m_latencyUs;
    if (v.empty())
        return QStringLiteral("chat lines 0");
    std::sort(v.begin(), v.end());
    auto at = [&](double q) { return v[std::min(v.size() - 1, size_t(q * double(v.size())))]; };
    return QStringLiteral("chat lines %1 latency_us min %2 median %3 p99 %4 max %5")
        .arg(v.size())
        .arg(v.front())
        .arg(at(0.5))
        .arg(at(0.99))
        .arg(v.back());
}

void RunChatPacer(int lines, int intervalMs) {
    auto* listener = new net::Winsock(QCoreApplication::instance());
    auto* timer = new QTimer(listener);
    auto left = std::make_shared<int>(lines);
    QObject::connect(listener, &net::Winsock::ConnectionRequest, listener, [=](qintptr id) {
        listener->close();
        listener->accept(id);
        listener->setNoDelay(true);
        timer->start(intervalMs);
    });
    QObject::connect(listener, &net::Winsock::Close, [] { QCoreApplication::exit(0); });
    QObject::connect(timer, &QTimer::timeout, listener, [=] {
        listener->sendData(QByteArray::number(MonotonicNs()) + '\n');
        if (--*left <= 0) {
            timer->stop();
            QCoreApplication::exit(0);
        }
    });
    listener->listen();
    std::printf("PORT %u\n", unsigned(listener->localPort()));
    std::fflush(stdout);
}
