// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The sending side of one file offer, without widgets: it listens for the
// receiver, answers its requests chunk by chunk and reports status, progress
// and rate for the window to show.
//
// The window thread never waits for the disk: it reads a chunk only when it
// is in memory already, which a disk thread sees to ahead of the requests, and
// leaves a chunk that is not to the disk thread. Every "NEXTCHUNK" is answered
// in order, but never more than two chunks wait unsent in this process (one
// the system has not taken yet, one read by the disk thread); requests beyond
// that wait as a count until the socket drains.
#include "ControlWordReader.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

namespace net {
class Winsock;
}

namespace client {

class ChunkSource;
class DiskThread;

class FileSender : public QObject {
    Q_OBJECT
public:
    enum class State {
        Idle,            // nothing under way; a new offer may start
        Offering,        // listening, waiting for the receiver to connect
        AwaitingAnswer,  // connected, the receiving user has not answered
        Sending,         // accepted, chunks flow
        Finishing,       // "ENDFILE" sent, waiting for "BYE"
        Done,            // "BYE" received
        Refused,         // "DENY" received
        CancelledByPeer, // "STOP" received
        Cancelled,       // own cancel after acceptance
        Failed,          // a chunk could not be sent or read, or the receiver hung up
    };
    Q_ENUM(State)

    explicit FileSender(QObject* parent = nullptr);
    ~FileSender() override;

    // How long an offer waits for the receiver to connect (60 s unless a test says otherwise).
    void setOfferTimeout(int milliseconds);

    // Starts listening for the receiver of the file at `path`; the caller then
    // announces port(). False, with the status set, when no port can be opened.
    bool StartOffer(const QString& path);
    quint16 port() const;

    // The user's cancel, in any state that has something to cancel.
    void Cancel();

    State state() const { return m_state; }
    // An offer or a transfer is under way: the send button cancels.
    bool Sending() const;
    // The receiver accepted once: this sender will not make another offer.
    bool Accepted() const { return m_accepted; }

    QString status() const { return m_status; }
    bool statusAlarm() const { return m_statusAlarm; }
    int progress() const { return m_progress; }
    qint64 FileSize() const { return m_fileSize; }
    qint64 BytesSent() const { return m_bytesSent; }
    QString SpeedText() const { return m_speedText; }

    // Chunk bytes read ahead or written to the socket and not yet taken by the system.
    qint64 bytesUnsent() const;
    // Requests received and not answered yet.
    qint64 requestsWaiting() const { return m_requests; }
    // Tests: runs on the disk thread before every read (a slow disk); every
    // chunk is then read there.
    void setDiskStandIn(std::function<void()> standIn) { m_standIn = std::move(standIn); }

    QTimer* TimeOut() { return &m_timeOut; }
    QTimer* Speedometer() { return &m_speedometer; }

signals:
    void StateChanged(client::FileSender::State state);
    void StatusChanged(const QString& text, bool alarm);
    void ProgressChanged(int percent);

private:
    void Winsock1_ConnectionRequest(qintptr requestID);
    void Winsock1_DataArrival();
    void TimeOut_Timer();
    void Speedometer_Timer();

    void handleWord(const QByteArray& word);
    void onAccept();
    void onOpened(qint64 size);
    void onNextChunk();
    void serve();
    void prefetch();
    void onPeerClosed();
    void onBye();
    void onDeny();
    void onStop();

    void setState(State state);
    void setStatus(const QString& text, bool alarm = false);
    void setProgress(int percent);
    void updateProgressDisplay();
    void closeFile();
    void readFailed();
    void sendFailed();

    net::Winsock* m_socket = nullptr;
    QTimer m_timeOut;
    QTimer m_speedometer;
    ControlWordReader m_reader;

    State m_state = State::Idle;
    bool m_accepted = false;
    QString m_path;
    quint16 m_offerPort = 0;
    std::unique_ptr<DiskThread> m_disk; // the file, open from acceptance until the transfer ends
    ChunkSource* m_source = nullptr;
    std::function<void()> m_standIn;
    bool m_sizeSent = false;
    bool m_diskReading = false; // the disk thread reads the next chunk
    qint64 m_prefetchedTo = 0;  // the disk thread was asked to bring the file into memory up to here
    qint64 m_requests = 0;      // "NEXTCHUNK" not answered yet
    qint64 m_fileSize = 0;
    qint64 m_bytesSent = 0;
    int m_chunkCounter = 0;
    qint64 m_seconds = 0;
    QString m_speedText;

    QString m_status;
    bool m_statusAlarm = false;
    int m_progress = 0;
};

} // namespace client
