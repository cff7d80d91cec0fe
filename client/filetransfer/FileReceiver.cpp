// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileReceiver.h"

#include "FileTransferProtocol.h"
#include "SocketFlush.h"
#include "net/Winsock.h"

#include <QPointer>

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
    connect(m_socket, &net::Winsock::Connect, this, &FileReceiver::Winsock1_Connect);
    connect(m_socket, &net::Winsock::DataArrival, this, &FileReceiver::Winsock1_DataArrival);
    connect(m_socket, &net::Winsock::Close, this, &FileReceiver::Winsock1_Close);
    connect(&m_speedometer, &QTimer::timeout, this, &FileReceiver::Speedometer_Timer);
}

FileReceiver::~FileReceiver() {
    // Closed with the window mid-transfer: the partial file goes too (PartialFile's destructor).
    m_socket->disconnect(this);
    m_socket->close();
    m_socket->setParent(nullptr);
    m_socket->deleteLater();
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

    // The next chunk is asked for before this one is written, so sending and writing overlap.
    int chunkEnds = 0;
    for (const auto& e : events)
        chunkEnds += e.kind == Kind::ChunkEnd;
    if (chunkEnds > 0 && m_state == State::Receiving) {
        send(kNextChunk);
        // Sockets write when events run: let the request leave before the block goes to disk.
        QPointer<FileReceiver> alive(this);
        net::DoEvents();
        if (!alive || m_state != State::Receiving)
            return; // cancelled meanwhile: the block is not wanted any more
    }

    bool sawData = false;
    for (const auto& e : events) {
        switch (e.kind) {
        case Kind::Size:
            if (m_state != State::WaitingForSize)
                return fail(QStringLiteral("Fout in de overdracht"));
            onSize(e.size);
            break;
        case Kind::Data:
            if (m_state != State::Receiving)
                return fail(QStringLiteral("Fout in de overdracht"));
            if (!onData(e.data))
                return;
            sawData = true;
            break;
        case Kind::ChunkEnd:
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
        if (m_chunkCounter == 0) {
            const int p = Percent(m_bytesReceived, m_fileSize);
            setProgress(p);
            QString text = QStringLiteral("Bezig met ontvangen: ") + QString::number(p) + QLatin1Char('%');
            if (!m_speedText.isEmpty())
                text += QStringLiteral(" [") + m_speedText + QLatin1Char(']');
            setStatus(text);
        }
    }
}

void FileReceiver::onSize(qint64 size) {
    m_fileSize = size;
    m_file = std::make_unique<PartialFile>(m_targetPath, m_mayReplace);
    QString error;
    if (!m_file->open(&error))
        return fail(QStringLiteral("Het bestand kan niet worden aangemaakt"));
    setState(State::Receiving);
    send(kNextChunk);
    m_speedometer.start();
}

bool FileReceiver::onData(QByteArrayView data) {
    if (!m_file->write(data.data(), data.size())) {
        fail(QStringLiteral("Fout bij het schrijven van het bestand"));
        return false;
    }
    m_bytesReceived += data.size();
    return true;
}

void FileReceiver::onEndFile() {
    m_speedometer.stop();
    QString error;
    if (!m_file->commit(&error))
        return fail(QStringLiteral("Fout bij het schrijven van het bestand"));
    m_file.reset();
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

void FileReceiver::dropFile() {
    if (m_file)
        m_file->discard();
    m_file.reset();
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
