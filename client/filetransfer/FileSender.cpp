// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileSender.h"

#include "ChunkSource.h"
#include "DiskThread.h"
#include "FileTransferProtocol.h"
#include "SocketFlush.h"
#include "net/Winsock.h"

namespace client {

using namespace filetransfer;

FileSender::FileSender(QObject* parent)
    : QObject(parent), m_reader({kAccept, kDeny, kNextChunk, kBye, kStop}) {
    m_socket = new net::Winsock(this);
    m_socket->setObjectName(QStringLiteral("Winsock1"));
    m_timeOut.setObjectName(QStringLiteral("TimeOut"));
    m_timeOut.setInterval(60000);
    m_speedometer.setObjectName(QStringLiteral("Speedometer"));
    m_speedometer.setInterval(1000);

    connect(m_socket, &net::Winsock::ConnectionRequest, this, &FileSender::Winsock1_ConnectionRequest);
    connect(m_socket, &net::Winsock::DataArrival, this, &FileSender::Winsock1_DataArrival);
    connect(m_socket, &net::Winsock::Close, this, &FileSender::onPeerClosed);
    connect(m_socket, &net::Winsock::SendComplete, this, &FileSender::serve);
    connect(&m_timeOut, &QTimer::timeout, this, &FileSender::TimeOut_Timer);
    connect(&m_speedometer, &QTimer::timeout, this, &FileSender::Speedometer_Timer);
}

FileSender::~FileSender() {
    // The connection and the open file go with the window.
    m_socket->disconnect(this);
    m_socket->close();
    m_socket->setParent(nullptr);
    m_socket->deleteLater();
    closeFile();
}

void FileSender::setOfferTimeout(int milliseconds) {
    m_timeOut.setInterval(milliseconds);
}

quint16 FileSender::port() const {
    return m_offerPort;
}

qint64 FileSender::bytesUnsent() const {
    return m_socket->bytesToWrite() + (m_source ? m_source->readyBytes() : 0);
}

bool FileSender::Sending() const {
    switch (m_state) {
    case State::Offering:
    case State::AwaitingAnswer:
    case State::Sending:
    case State::Finishing:
    case State::Failed:
        return true;
    default:
        return false;
    }
}

bool FileSender::StartOffer(const QString& path) {
    if (Sending() || m_accepted)
        return false;
    m_path = path;
    m_reader.reset();
    m_socket->close();
    m_socket->setLocalPort(0); // a fresh port for every offer
    QString error;
    if (!m_socket->listen(&error)) {
        setStatus(QStringLiteral("Er kan geen verbinding worden geopend: ") + error, true);
        return false;
    }
    m_offerPort = m_socket->localPort();
    setState(State::Offering);
    setStatus(QStringLiteral("Verbinding aan het zoeken met client..."));
    m_timeOut.start();
    return true;
}

void FileSender::Cancel() {
    const State was = m_state;
    if (!Sending())
        return;
    m_timeOut.stop();
    m_speedometer.stop();
    if (was != State::Offering)
        SendThenClose(*m_socket, kSenderStop); // says nothing when the peer is already gone
    else
        m_socket->close();
    closeFile();
    setState(m_accepted ? State::Cancelled : State::Idle);
    setStatus(QStringLiteral("Verbinding geannuleerd"));
}

void FileSender::Winsock1_ConnectionRequest(qintptr requestID) {
    if (m_state != State::Offering) {
        net::Winsock::refuse(requestID);
        return;
    }
    // One connection per offer: the listener becomes the connection.
    m_timeOut.stop();
    m_socket->close();
    if (!m_socket->accept(requestID)) {
        // Keep waiting for a receiver that manages to connect.
        m_socket->setLocalPort(m_offerPort);
        m_socket->listen();
        m_timeOut.start();
        return;
    }
    m_socket->setNoDelay(true);
    setState(State::AwaitingAnswer);
    setStatus(QStringLiteral("Wachten op toestemming van client"));
}

void FileSender::Winsock1_DataArrival() {
    const QByteArray block = m_socket->getData();
    for (const QByteArray& word : m_reader.feed(block)) {
        handleWord(word);
        if (m_socket->state() != net::Winsock::State::Connected)
            return;
    }
}

void FileSender::handleWord(const QByteArray& word) {
    if (word == kNextChunk && m_state == State::Sending)
        onNextChunk();
    else if (word == kAccept && m_state == State::AwaitingAnswer)
        onAccept();
    else if (word == kDeny && m_state == State::AwaitingAnswer)
        onDeny();
    else if (word == kBye && m_state == State::Finishing)
        onBye();
    else if (word == kStop &&
             (m_state == State::AwaitingAnswer || m_state == State::Sending || m_state == State::Finishing))
        onStop();
    // Anything else is out of turn and means nothing.
}

void FileSender::onAccept() {
    setStatus(QStringLiteral("De client heeft het bestand geaccepteerd!"));
    m_accepted = true;
    setState(State::Sending);
    // Opening may take as long as any read (a network folder): the disk thread does it.
    auto* source = new ChunkSource;
    source->setStandIn(m_standIn);
    connect(source, &ChunkSource::Opened, this, &FileSender::onOpened);
    connect(source, &ChunkSource::ChunkRead, this, &FileSender::serve);
    connect(source, &ChunkSource::Failed, this, &FileSender::readFailed);
    m_source = source;
    m_disk = std::make_unique<DiskThread>(source);
    m_disk->post([source, path = m_path] { source->open(path); });
}

void FileSender::onOpened(qint64 size) {
    if (m_state != State::Sending)
        return;
    if (size > kMaxFileSize)
        return readFailed();
    m_fileSize = size;
    if (m_socket->sendData(kSizePrefix + QByteArray::number(m_fileSize)) < 0)
        return sendFailed();
    m_sizeSent = true;
    prefetch();
    serve();
}

// The system reads ahead of sequential reads by itself; this asks for more, early enough.
void FileSender::prefetch() {
    constexpr qint64 kAhead = 32 * kChunkSize;
    if (!m_disk || m_prefetchedTo >= m_fileSize || m_prefetchedTo - m_bytesSent > kAhead / 2)
        return;
    const qint64 from = std::max(m_prefetchedTo, m_bytesSent);
    const qint64 length = std::min(kAhead, m_fileSize - from);
    m_prefetchedTo = from + length;
    m_disk->post([source = m_source, from, length] { source->prefetch(from, length); });
}

void FileSender::onNextChunk() {
    if (m_bytesSent == 0 && !m_speedometer.isActive())
        m_speedometer.start();
    ++m_requests;
    serve();
}

// Answers the waiting requests in order, as far as the chunk read ahead and the socket allow.
void FileSender::serve() {
    while (m_state == State::Sending && m_sizeSent && m_requests > 0) {
        if (m_bytesSent == m_fileSize) {
            m_requests = 0;
            closeFile();
            m_socket->sendData(kEndFile);
            setState(State::Finishing);
            setStatus(QStringLiteral("Aan het wachten tot de client voltooid is..."));
            m_speedometer.stop();
            return;
        }
        // One chunk the system has not taken yet is enough: the rest waits for SendComplete.
        if (m_socket->bytesToWrite() > 0)
            break;
        const qint64 length = std::min(kChunkSize, m_fileSize - m_bytesSent);
        std::optional<QByteArray> chunk = m_source->take();
        if (!chunk && !m_diskReading && !m_standIn)
            chunk = ReadCached(m_source->fd(), m_bytesSent, length);
        if (!chunk) {
            // Not in memory: the disk thread reads it, and ChunkRead() brings us back.
            if (!m_diskReading)
                m_disk->post([source = m_source, from = m_bytesSent, length] { source->read(from, length); });
            m_diskReading = true;
            break;
        }
        m_diskReading = false;
        if (m_socket->sendData(*chunk) < 0)
            return sendFailed();
        --m_requests;
        m_bytesSent += length;
        m_chunkCounter = (m_chunkCounter + 1) % kProgressEvery;
        if (m_chunkCounter == 0)
            updateProgressDisplay();
    }
    prefetch();
}

// A receiver that hangs up without a word in the middle of a transfer: it will never finish.
void FileSender::onPeerClosed() {
    m_socket->close();
    if (m_state != State::AwaitingAnswer && m_state != State::Sending && m_state != State::Finishing)
        return;
    closeFile();
    m_speedometer.stop();
    setState(State::Failed);
    setStatus(QStringLiteral("Fout in de overdracht"));
}

void FileSender::onBye() {
    setProgress(Percent(m_bytesSent, m_fileSize));
    m_socket->close();
    m_speedometer.stop();
    setState(State::Done);
    setStatus(QStringLiteral("Overdracht voltooid"));
}

void FileSender::onDeny() {
    m_socket->close();
    setState(State::Refused);
    setStatus(QStringLiteral("De client heeft het bestand geweigerd!"), true);
}

void FileSender::onStop() {
    m_socket->close();
    closeFile();
    m_speedometer.stop();
    setState(State::CancelledByPeer);
    setStatus(QStringLiteral("De client heeft de overdracht geannuleerd"));
}

void FileSender::sendFailed() {
    m_socket->close();
    closeFile();
    m_speedometer.stop();
    setState(State::Failed);
    setStatus(QStringLiteral("Fout in de overdracht"));
}

// The file vanished, shrank or cannot be opened: the receiver must not wait for bytes that never come.
void FileSender::readFailed() {
    if (m_state != State::Sending)
        return; // a read that was still queued when the transfer ended
    closeFile();
    m_speedometer.stop();
    setState(State::Failed);
    setStatus(QStringLiteral("Fout bij het lezen van het bestand"));
    SendThenClose(*m_socket, kSenderStop);
}

void FileSender::TimeOut_Timer() {
    m_timeOut.stop();
    if (m_state != State::Offering)
        return;
    m_socket->close();
    setState(State::Idle);
    setStatus(QStringLiteral("De client heeft niet op tijd gereageerd"));
}

void FileSender::Speedometer_Timer() {
    ++m_seconds;
    m_speedText = filetransfer::SpeedText(m_bytesSent, m_seconds);
}

void FileSender::updateProgressDisplay() {
    const int p = Percent(m_bytesSent, m_fileSize);
    setProgress(p);
    setStatus(ProgressStatus(QStringLiteral("Bezig met versturen: "), p, m_speedText));
}

// The disk thread closes the file and ends once its last read is done; nobody waits for it.
void FileSender::closeFile() {
    m_disk.reset();
    m_source = nullptr;
    m_diskReading = false;
}

void FileSender::setState(State state) {
    m_state = state;
    emit StateChanged(state);
}

void FileSender::setStatus(const QString& text, bool alarm) {
    m_status = text;
    m_statusAlarm = alarm;
    emit StatusChanged(text, alarm);
}

void FileSender::setProgress(int percent) {
    m_progress = percent;
    emit ProgressChanged(percent);
}

} // namespace client
