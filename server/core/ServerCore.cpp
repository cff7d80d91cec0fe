// SPDX-License-Identifier: GPL-3.0-or-later
// The core's frame: construction, the log facade, start and stop, housekeeping.
#include "server/core/ServerCore.h"

#include "common/ZindleEncrypt.h"
#include "net/ServerTransport.h"
#include "server/core/CoreText.h"
#include "server/core/ServerPort.h"
#include "server/core/TransportFactory.h"

#include <QDeadlineTimer>

namespace server {

ServerCore::ServerCore(QObject* parent) : ServerCore(MakeServerTransport(), parent) {}

ServerCore::ServerCore(net::ServerTransport* transport, QObject* parent)
    : QObject(parent), log_(this), transport_(transport) {
    if (!transport_->parent())
        transport_->setParent(this);
    scratch_.reserve(1024);
    housekeeping_.setInterval(kHousekeepingMs);
    connect(&housekeeping_, &QTimer::timeout, this, &ServerCore::Tick);
    Wire();
}

ServerCore::~ServerCore() {
    // The connection table may outlive us (injected): it must not call back.
    transport_->disconnect(this);
    if (listening_) {
        transport_->stopListening();
        Users.ForEachInUse([&](int slot) {
            transport_->abort(slot);
            Users.Free(slot);
        });
    }
}

void ServerCore::Wire() {
    connect(transport_, &net::ServerTransport::ConnectionRequest, this,
            &ServerCore::Winsock1_ConnectionRequest);
    connect(transport_, &net::ServerTransport::DataArrival, this, &ServerCore::Winsock1_DataArrival);
    connect(transport_, &net::ServerTransport::Close, this, &ServerCore::Winsock1_Close);
    connect(transport_, &net::ServerTransport::OutOfDescriptors, this, &ServerCore::OnOutOfDescriptors);
}

std::int64_t ServerCore::Now() const {
    if (clock_)
        return clock_();
    return QDeadlineTimer::current().deadline();
}

// ---------------------------------------------------------------- log

void ServerCore::AddLog(std::string_view text) {
    log_.AddLog(text);
}
void ServerCore::AddLog(const QString& text) {
    log_.AddLog(text);
}
void ServerCore::LogProgramStarted() {
    AddLog(std::string_view("STATUS [0] Serverprogramma opgestart!"));
}

void ServerCore::LogSlotLine(std::string_view head, int slot, std::string_view mid, std::string_view tail) {
    scratch_.assign(head);
    AppendNumber(scratch_, slot);
    scratch_.append(mid);
    scratch_.append(tail);
    AddLog(scratch_);
}

// ---------------------------------------------------------------- start and stop

void ServerCore::setListenAddresses(const QStringList& addresses) {
    transport_->setListenAddresses(addresses);
}

bool ServerCore::StartServer(const QString& portText, QString* error) {
    if (listening_)
        return true;
    AddLog(std::string_view("STATUS [0] Server wordt gestart.."));

    const std::optional<quint16> port = ParsePort(portText);
    QString reason;
    if (!port) {
        reason = InvalidPortReason(portText) + u'.';
    } else {
        password_ = ZindleEncrypt::Encrypt(ToBytes(roomPassword_));
        QString listenError;
        if (!transport_->listen(*port, &listenError)) {
            // The transport's reason names the port already; say it once.
            reason = listenError.isEmpty() ? QStringLiteral("Kan niet luisteren op poort %1").arg(*port)
                                           : listenError;
            transport_->stopListening();
        }
    }
    if (!reason.isEmpty()) {
        AddLog(QStringLiteral("STATUS [0] Server kon niet worden gestart: ") + reason);
        if (error)
            *error = reason;
        return false;
    }
    listening_ = true;
    outOfDescriptors_ = false;
    housekeeping_.start();
    emit listeningChanged(true);
    AddLog(std::string_view("STATUS [0] Server is gestart!"));
    return true;
}

quint16 ServerCore::ListeningPort() const {
    return listening_ ? transport_->localPort() : 0;
}

void ServerCore::StopServer() {
    if (!listening_)
        return;
    AddLog(std::string_view("STATUS [0] Server wordt gestopt..."));
    transport_->stopListening();
    housekeeping_.stop();
    ReleaseAll();
    Users.RestartCounter();
    listening_ = false;
    emit userListChanged();
    emit listeningChanged(false);
    AddLog(std::string_view("STATUS [0] Server is gestopt!"));
}

void ServerCore::OnOutOfDescriptors() {
    // The transport pauses accepting by itself; one line per episode.
    if (outOfDescriptors_)
        return;
    outOfDescriptors_ = true;
    AddLog(
        std::string_view("STATUS [0] Geen bestandsdescriptors meer vrij: nieuwe verbindingen wachten even"));
}

void ServerCore::Tick() {
    if (!listening_)
        return;
    ExpireLogins();
    ResumeFloodPaused();
    EnforceSendBudget();
}

} // namespace server
