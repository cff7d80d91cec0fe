// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Chat-line latency on the window thread: a pacer process writes one line with
// its monotonic send time every few milliseconds; the probe, on the same thread
// as a transfer, notes how late each line is handled.
#include "net/Winsock.h"

#include <QObject>
#include <QString>
#include <vector>

class ChatProbe : public QObject {
public:
    ChatProbe(quint16 port, QObject* parent = nullptr);
    void setCounting(bool on) { m_counting = on; }
    // "chat lines N latency_us min a median b p99 c max d"
    QString summary() const;

private:
    void onData();

    net::Winsock m_socket;
    QByteArray m_rest;
    bool m_counting = false;
    std::vector<qint64> m_latencyUs;
};

// Serves one probe: listens, prints "PORT n", sends `lines` lines `intervalMs` apart, then quits the
// application.
void RunChatPacer(int lines, int intervalMs);

qint64 MonotonicNs();
