// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The receiving side of one file offer, without widgets: it connects to the
// sender, answers for the user, pulls the file chunk by chunk into a
// PartialFile and reports status, progress and rate for the window to show.
//
// The file is written on a disk thread. The next "NEXTCHUNK" leaves as soon
// as a chunk's "CHUNKEND" is seen, before the block is written; only when the
// disk falls this far behind (kMaxUnwritten) does the request wait for it.
//
// The receiver sets the pace: it reads the socket only while a "NEXTCHUNK" it
// sent is unanswered and the disk is within that bound. A sender that streams
// without waiting finds the connection full and has to wait after all, so
// memory stays bounded whatever it does.
#include "ChunkStreamReader.h"
#include "FileWriter.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

namespace net {
class Winsock;
}

namespace client {

class DiskThread;

class FileReceiver : public QObject {
    Q_OBJECT
public:
    enum class State {
        Asking,            // connected or connecting; the user has not answered
        WaitingForSize,    // "ACPT" sent
        Receiving,         // size known, chunks flow
        Done,              // the whole file is saved
        Refused,           // the user said no
        Cancelled,         // own cancel
        CancelledBySender, // "FILETRANSFERSTOP"
        Broken,            // the connection closed before the end
        Failed,            // the file could not be written, or the sender spoke nonsense
    };
    Q_ENUM(State)

    // Bytes received and not yet written beyond which the next request waits for the disk.
    static constexpr qint64 kMaxUnwritten = 64 * 131072;
    // How long the digits of a size message that may go on are waited for.
    static constexpr int kSizeQuietMs = 100;

    explicit FileReceiver(QObject* parent = nullptr);
    ~FileReceiver() override;

    // Connects to the offering client.
    void Start(const QString& host, quint16 port);

    // The user accepted: save to `targetPath`; mayReplace when the user agreed
    // to overwrite a file already there. While the connection is still being
    // made the answer leaves as soon as it stands.
    void Accept(const QString& targetPath, bool mayReplace);
    void Refuse();
    void Cancel();

    State state() const { return m_state; }
    bool Finished() const; // a later close of the connection is no error
    bool FileOpen() const { return m_disk != nullptr; }
    bool connectionOpen() const; // the sender has not closed yet
    QString targetPath() const { return m_targetPath; }

    QString status() const { return m_status; }
    int progress() const { return m_progress; }
    qint64 FileSize() const { return m_fileSize; }
    qint64 BytesReceived() const { return m_bytesReceived; }
    QString SpeedText() const { return m_speedText; }
    QTimer* Speedometer() { return &m_speedometer; }
    // Bytes received and not written yet.
    qint64 unwritten() const;
    // The socket is read (false while the sender is ahead or the disk behind).
    bool reading() const;
    // Tests: runs on the disk thread before every write (a slow disk).
    void setDiskStandIn(std::function<void()> standIn) { m_standIn = std::move(standIn); }

signals:
    void StateChanged(client::FileReceiver::State state);
    void StatusChanged(const QString& text);
    void ProgressChanged(int percent);

private:
    void Winsock1_Connect();
    void Winsock1_DataArrival();
    void Winsock1_Close();
    void Speedometer_Timer();

    void handle(const QByteArray& block, std::vector<ChunkStreamReader::Event>& events);
    void onSize(qint64 size);
    void onData(const QByteArray& block, QByteArrayView data);
    void onChunkEnd();
    void askIfTheDiskKeepsUp();
    void requestChunk();
    void updateReading();
    void postBatch();
    void onEndFile();
    void onCommitted();
    void onSizeQuiet();
    void showProgress();
    void onSenderStop();
    void fail(const QString& status);

    void setState(State state);
    void setStatus(const QString& text);
    void setProgress(int percent);
    void send(const QByteArray& word);
    void sendAndClose(const QByteArray& word);
    void closeSocket();
    void dropFile();

    net::Winsock* m_socket = nullptr;
    QTimer m_speedometer;
    QTimer m_sizeQuiet;
    ChunkStreamReader m_reader;
    std::unique_ptr<DiskThread> m_disk; // the file, open from the size message until the end
    FileWriter* m_writer = nullptr;
    std::function<void()> m_standIn;
    std::vector<FileWriter::Piece> m_batch; // received, goes to the disk thread with the chunk's end
    qint64 m_batchBytes = 0;
    qint64 m_posted = 0;           // bytes handed on for the disk thread
    bool m_requestWaiting = false; // a "NEXTCHUNK" that waits for the disk
    int m_unanswered = 0;          // "NEXTCHUNK" requests sent whose "CHUNKEND" has not come
    bool m_ahead = false;          // the sender sent what was not asked for
    bool m_committing = false;     // "ENDFILE" seen, the file is being flushed and named

    State m_state = State::Asking;
    bool m_connected = false;
    bool m_acceptPending = false; // "ACPT" waits for the connection
    bool m_mayReplace = false;
    QString m_targetPath;
    qint64 m_fileSize = 0;
    qint64 m_bytesReceived = 0;
    int m_chunkCounter = 0;
    qint64 m_seconds = 0;
    QString m_speedText;

    QString m_status;
    int m_progress = 0;
};

} // namespace client
