// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileReceiver.h"

#include "DiskThread.h"
#include "FileTransferProtocol.h"
#include "FileWriter.h"
#include "SocketFlush.h"
#include "net/Winsock.h"

namespace client {

using namespace filetransfer;
using Kind = ChunkStreamReader::Event::Kind;

namespace {
bool Active(FileReceiver::State s) {
    return s == FileReceiver::State::Asking || s == FileReceiver::State::WaitingForSize ||
           s == FileReceiver::State::Receiving;
}
} // namespace

FileReceiver::FileReceiver(QObject* parent) : QObject(parent) {
    m_socket = new net::Winsock(this);
    m_socket->setObjectName(QStringLiteral("Winsock1"));
    m_speedometer.setObjectName(QStringLiteral("Speedometer"));
    m_speedometer.setInterval(1000);
    m_sizeQuiet.setSingleShot(true);
    m_sizeQuiet.setInterval(kSizeQuietMs);
    connect(&m_sizeQuiet, &QTimer::timeout, this, &FileReceiver::onSizeQuiet);
    connect(m_socket, &net::Winsock::Connect, this, &FileReceiver::Winsock1_Connect);
    connect(m_socket, &net::Winsock::DataArrival, this, &FileReceiver::Winsock1_DataArrival);
    connect(m_socket, &net::Winsock::Close, this, &FileReceiver::Winsock1_Close);
    connect(&m_speedometer, &QTimer::timeout, this, &FileReceiver::Speedometer_Timer);
}

FileReceiver::~FileReceiver() {
    // Closed with the window mid-transfer: the partial file goes too.
    m_socket->disconnect(this);
    m_socket->close();
    m_socket->setParent(nullptr);
    m_socket->deleteLater();
    dropFile();
}

bool FileReceiver::Finished() const {
    return !Active(m_state);
}

bool FileReceiver::connectionOpen() const {
    return m_connected;
}

void FileReceiver::Start(const QString& host, quint16 port) {
    m_socket->connectToHost(host, port);
}

void FileReceiver::Accept(const QString& targetPath, bool mayReplace) {
    if (m_state != State::Asking)
        return;
    m_targetPath = targetPath;
    m_mayReplace = mayReplace;
    if (m_connected) {
        send(kAccept);
    } else if (m_socket->state() == net::Winsock::State::Connecting) {
        m_acceptPending = true; // leaves on Connect
    } else {
        closeSocket();
        setState(State::Broken);
        setStatus(QStringLiteral("Verbinding plotseling afgebroken"));
        return;
    }
    setState(State::WaitingForSize);
}

void FileReceiver::Refuse() {
    if (m_state != State::Asking)
        return;
    setState(State::Refused);
    sendAndClose(kDeny);
}

void FileReceiver::Cancel() {
    if (!Active(m_state)) {
        // After the end there is nothing to call off; only the connection goes.
        closeSocket();
        setState(m_state);
        return;
    }
    m_speedometer.stop();
    dropFile();
    setState(State::Cancelled);
    setStatus(QStringLiteral("Geannuleerd door gebruiker..."));
    sendAndClose(kStop);
}

void FileReceiver::Winsock1_Connect() {
    m_connected = true;
    m_socket->setNoDelay(true);
    if (m_acceptPending) {
        m_acceptPending = false;
        send(kAccept);
    }
    setState(m_state);
}

void FileReceiver::Winsock1_DataArrival() {
    const QByteArray block = m_socket->getData();
    if (!Active(m_state))
        return;
    std::vector<ChunkStreamReader::Event> events;
    m_reader.feed(block, events);
    handle(block, events);
    // A size message whose digits may go on in the next block waits a moment for them.
    if (Active(m_state) && m_reader.sizeMayContinue())
        m_sizeQuiet.start();
    updateReading();
}

bool FileReceiver::reading() const {
    return m_socket->isReading();
}

// Only while chunks flow: the size message and the final words are always read.
void FileReceiver::updateReading() {
    if (m_state != State::Receiving || m_committing || !m_writer) {
        m_socket->setReading(true);
        return;
    }
    // Behind the usual bound, or holding chunks nobody asked for: wait until
    // the disk has caught up.
    auto mustWait = [this] { return unwritten() > (m_ahead ? 0 : kMaxUnwritten); };
    if (mustWait()) {
        postBatch();
        m_writer->wakeWhenWritten();
    }
    // A write that finished meanwhile is seen here; a later one raises Written().
    const bool wait = mustWait();
    if (!wait)
        m_ahead = false;
    m_socket->setReading(!wait);
}

void FileReceiver::requestChunk() {
    ++m_unanswered;
    send(kNextChunk);
    updateReading();
}

void FileReceiver::onSizeQuiet() {
    std::vector<ChunkStreamReader::Event> events;
    m_reader.endOfSize(events);
    handle(QByteArray(), events);
}

void FileReceiver::handle(const QByteArray& block, std::vector<ChunkStreamReader::Event>& events) {
    bool sawData = false;
    int chunkEnds = 0;
    for (const auto& e : events) {
        switch (e.kind) {
        case Kind::Size:
            if (m_state != State::WaitingForSize)
                return fail(QStringLiteral("Fout in de overdracht"));
            m_sizeQuiet.stop();
            onSize(e.size);
            break;
        case Kind::Data:
            if (m_state != State::Receiving)
                return fail(QStringLiteral("Fout in de overdracht"));
            onData(block, e.data);
            sawData = true;
            break;
        case Kind::ChunkEnd:
            onChunkEnd();
            ++chunkEnds;
            sawData = true;
            break;
        case Kind::EndFile:
            if (m_state != State::Receiving)
                return fail(QStringLiteral("Fout in de overdracht"));
            onEndFile();
            break;
        case Kind::SenderStop:
            onSenderStop();
            break;
        case Kind::Error:
            return fail(QStringLiteral("Fout in de overdracht"));
        }
        if (!Active(m_state))
            return;
    }
    // Progress is redrawn once in fifteen turns; a block that ends a chunk counts twice.
    if (sawData && m_state == State::Receiving) {
        m_chunkCounter = (m_chunkCounter + chunkEnds + 1) % kProgressEvery;
        if (m_chunkCounter == 0)
            showProgress();
    }
}

void FileReceiver::showProgress() {
    const int p = Percent(m_bytesReceived, m_fileSize);
    setProgress(p);
    setStatus(ProgressStatus(QStringLiteral("Bezig met ontvangen: "), p, m_speedText));
}

void FileReceiver::onSize(qint64 size) {
    m_fileSize = size;
    auto* writer = new FileWriter(m_targetPath, m_mayReplace);
    writer->setStandIn(m_standIn);
    // A report that was on its way when the transfer ended is of no interest any more.
    connect(writer, &FileWriter::OpenFailed, this, [this] {
        if (Active(m_state))
            fail(QStringLiteral("Het bestand kan niet worden aangemaakt"));
    });
    connect(writer, &FileWriter::WriteFailed, this, [this] {
        if (Active(m_state))
            fail(QStringLiteral("Fout bij het schrijven van het bestand"));
    });
    connect(writer, &FileWriter::Written, this, &FileReceiver::askIfTheDiskKeepsUp);
    connect(writer, &FileWriter::Committed, this, &FileReceiver::onCommitted);
    m_writer = writer;
    m_disk = std::make_unique<DiskThread>(writer);
    setState(State::Receiving);
    requestChunk();
    m_speedometer.start();
    m_disk->post([writer] { writer->open(); });
}

void FileReceiver::onData(const QByteArray& block, QByteArrayView data) {
    // Data points into the block, or into a few bytes the reader held back.
    const bool inBlock = data.data() >= block.constData() && data.data() < block.constData() + block.size();
    const QByteArray owner = inBlock ? block : data.toByteArray();
    const qsizetype offset = inBlock ? data.data() - block.constData() : 0;
    const qsizetype length = data.size();
    if (m_unanswered == 0)
        m_ahead = true; // data for a chunk that was not asked for
    m_batch.push_back({owner, offset, length});
    m_batchBytes += length;
    m_posted += length;
    m_bytesReceived += length;
    if (m_batchBytes >= kChunkSize)
        postBatch();
}

// One hand-over per chunk rather than per block: each one wakes the disk thread.
void FileReceiver::postBatch() {
    if (m_batch.empty() || !m_disk)
        return;
    m_disk->post([writer = m_writer, pieces = std::exchange(m_batch, {})] { writer->write(pieces); });
    m_batchBytes = 0;
}

qint64 FileReceiver::unwritten() const {
    return m_writer ? m_posted - m_writer->written() : 0;
}

// The next chunk is asked for before this one is written, so sending and writing overlap.
void FileReceiver::onChunkEnd() {
    // A chunk nobody asked for (the sender is ahead) earns no new request.
    const bool asked = m_unanswered > 0;
    m_unanswered = std::max(0, m_unanswered - 1);
    if (!asked) {
        m_ahead = true;
        postBatch();
        return;
    }
    m_requestWaiting = true;
    askIfTheDiskKeepsUp();
    postBatch();
}

// Only when the disk is far behind does the request wait, until a write brings it back in bounds.
void FileReceiver::askIfTheDiskKeepsUp() {
    if (!m_requestWaiting || m_state != State::Receiving || !m_writer)
        return updateReading();
    if (unwritten() > kMaxUnwritten) {
        m_writer->wakeWhenWritten();
        if (unwritten() > kMaxUnwritten)
            return; // a write finished meanwhile is seen here; a later one raises Written()
    }
    m_requestWaiting = false;
    requestChunk();
}

// "BYE" says the file is written and closed: it leaves once the file is on disk under its name.
void FileReceiver::onEndFile() {
    m_speedometer.stop();
    m_committing = true;
    postBatch();
    m_disk->post([writer = m_writer] { writer->commit(); });
}

void FileReceiver::onCommitted() {
    if (!m_committing || m_state != State::Receiving)
        return;
    m_committing = false;
    m_disk.reset();
    m_writer = nullptr;
    send(kBye);
    setProgress(Percent(m_bytesReceived, m_fileSize));
    setState(State::Done);
    setStatus(QStringLiteral("Overdracht voltooid"));
}

void FileReceiver::onSenderStop() {
    m_speedometer.stop();
    dropFile();
    closeSocket();
    setState(State::CancelledBySender);
    setStatus(QStringLiteral("Overdracht geannuleerd door server"));
}

void FileReceiver::Winsock1_Close() {
    // Whatever came just before the close still counts.
    if (m_socket->bytesAvailable() > 0)
        Winsock1_DataArrival();
    m_speedometer.stop();
    closeSocket();
    if (!Active(m_state)) {
        setState(m_state);
        return;
    }
    if (m_reader.closedAfterSenderStop())
        return onSenderStop();
    dropFile();
    setState(State::Broken);
    setStatus(QStringLiteral("Verbinding plotseling afgebroken"));
}

// The file cannot be written or the sender broke the rules: tell it to stop, keep nothing.
void FileReceiver::fail(const QString& status) {
    m_speedometer.stop();
    dropFile();
    setState(State::Failed);
    setStatus(status);
    sendAndClose(kStop);
}

void FileReceiver::Speedometer_Timer() {
    ++m_seconds;
    m_speedText = filetransfer::SpeedText(m_bytesReceived, m_seconds);
}

void FileReceiver::send(const QByteArray& word) {
    if (m_connected)
        m_socket->sendData(word);
}

void FileReceiver::sendAndClose(const QByteArray& word) {
    if (m_connected) {
        m_connected = false;
        SendThenClose(*m_socket, word);
    } else {
        closeSocket();
    }
}

void FileReceiver::closeSocket() {
    m_connected = false;
    m_acceptPending = false;
    m_socket->close();
}

// The disk thread skips what is still queued and removes the temporary; nobody waits for it.
void FileReceiver::dropFile() {
    m_sizeQuiet.stop();
    m_committing = false;
    m_requestWaiting = false;
    m_batch.clear();
    m_batchBytes = 0;
    if (!m_disk)
        return;
    m_writer->abandon();
    m_disk->post([writer = m_writer] { writer->discard(); });
    m_disk.reset();
    m_writer = nullptr;
}

void FileReceiver::setState(State state) {
    m_state = state;
    emit StateChanged(state);
}

void FileReceiver::setStatus(const QString& text) {
    m_status = text;
    emit StatusChanged(text);
}

void FileReceiver::setProgress(int percent) {
    m_progress = percent;
    emit ProgressChanged(percent);
}

} // namespace client
