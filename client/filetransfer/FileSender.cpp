// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileSender.h"

#include "FileTransferProtocol.h"
#include "SocketFlush.h"
#include "net/Winsock.h"

#include <cstring>

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
    // A peer that closes without a word changes nothing: the user ends it with a cancel.
    connect(m_socket, &net::Winsock::Close, this, [this] { m_socket->close(); });
    connect(&m_timeOut, &QTimer::timeout, this, &FileSender::TimeOut_Timer);
    connect(&m_speedometer, &QTimer::timeout, this, &FileSender::Speedometer_Timer);
}

FileSender::~FileSender() {
    // The connection and the open file go with the window.
    m_socket->disconnect(this);
    m_socket->close();
    m_socket->setParent(nullptr);
    m_socket->deleteLater();
}

void FileSender::setOfferTimeout(int milliseconds) {
    m_timeOut.setInterval(milliseconds);
}

quint16 FileSender::port() const {
    return m_offerPort;
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
    m_file.setFileName(m_path);
    if (!m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered) || m_file.size() > kMaxFileSize)
        return readFailed();
    m_fileSize = m_file.size();
    setState(State::Sending);
    if (m_socket->sendData(kSizePrefix + QByteArray::number(m_fileSize)) < 0)
        return sendFailed();
}

void FileSender::onNextChunk() {
    if (m_bytesSent == 0)
        m_speedometer.start();
    if (m_bytesSent == m_fileSize) {
        closeFile();
        m_socket->sendData(kEndFile);
        setState(State::Finishing);
        setStatus(QStringLiteral("Aan het wachten tot de client voltooid is..."));
        m_speedometer.stop();
        return;
    }
    const qint64 chunkSize = std::min(kChunkSize, m_fileSize - m_bytesSent);
    // Chunk and marker leave in one write, read straight into the buffer that is sent. A fresh
    // buffer each time, so the socket may keep it instead of copying.
    QByteArray chunkBuffer(chunkSize + kChunkEnd.size(), Qt::Uninitialized);
    if (m_file.read(chunkBuffer.data(), chunkSize) != chunkSize)
        return readFailed();
    std::memcpy(chunkBuffer.data() + chunkSize, kChunkEnd.constData(), size_t(kChunkEnd.size()));
    if (m_socket->sendData(chunkBuffer) < 0)
        return sendFailed();
    m_bytesSent += chunkSize;
    m_chunkCounter = (m_chunkCounter + 1) % kProgressEvery;
    if (m_chunkCounter == 0)
        updateProgressDisplay();
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
    QString text = QStringLiteral("Bezig met versturen: ") + QString::number(p) + QLatin1Char('%');
    if (!m_speedText.isEmpty())
        text += QStringLiteral(" [") + m_speedText + QLatin1Char(']');
    setStatus(text);
}

void FileSender::closeFile() {
    if (m_file.isOpen())
        m_file.close();
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
