// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/core/ServerCore.h"

#include "common/ZindleDivideCombine.h"
#include "common/ZindleEncrypt.h"
#include "common/ZindleFraming.h"
#include "common/ZindleMessages.h"
#include "common/ZindleVersion.h"
#include "net/Winsock.h"

#include <QByteArray>
#include <QMetaObject>
#include <algorithm>
#include <charconv>

namespace server {

namespace msg = ZindleMessages;
namespace wire = ZindleWire;

namespace {

std::string ToBytes(const QString& text) {
    const QByteArray bytes = text.toLatin1();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QString FromBytes(std::string_view bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

void AppendNumber(std::string& out, int value) {
    char digits[16];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

// The notices of a kick or a ban end with backslash-r backslash-n as text: the
// client unescapes every chat line and so shows a line break.
constexpr std::string_view kKickedYou = "**Je bent gekicked van de server\\r\\n";
constexpr std::string_view kBannedYou = "**Je bent gebanned van de server\\r\\n";
constexpr std::string_view kKickedOther = " is gekicked van de server\\r\\n";
constexpr std::string_view kBannedOther = " is gebanned van de server\\r\\n";

} // namespace

ServerCore::ServerCore(QObject* parent)
    : QObject(parent), log_(this), Users(kSlotCount), Winsock1(kSlotCount, nullptr), remoteIp_(kSlotCount),
      generation_(kSlotCount, 0), inArrival_(kSlotCount, 0), overfull_(kSlotCount, 0),
      pendingTail_(kSlotCount) {
    listener_ = new net::Winsock(this);
    connect(listener_, &net::Winsock::ConnectionRequest, this, &ServerCore::Winsock1_ConnectionRequest);
    scratch_.reserve(1024);
}

ServerCore::~ServerCore() {
    // Sockets are children of this object and die with it; nobody is told.
    for (int slot = 1; slot <= kMaxSlot; ++slot) {
        if (net::Winsock* socket = Winsock1[static_cast<std::size_t>(slot)])
            socket->disconnect(this);
    }
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

// ---------------------------------------------------------------- settings

QString ServerCore::ServerNaam() const {
    return FromBytes(serverNaam_);
}
QString ServerCore::MOTD() const {
    return FromBytes(motd_);
}

void ServerCore::setServerNaam(const QString& naam) {
    std::string bytes = ToBytes(naam);
    if (bytes != serverNaam_) {
        serverNaam_ = std::move(bytes);
        emit committedChanged();
    }
}

void ServerCore::setMOTD(const QString& motd) {
    std::string bytes = ToBytes(motd);
    if (bytes != motd_) {
        motd_ = std::move(bytes);
        emit committedChanged();
    }
}

void ServerCore::setRoomPassword(const QString& plain) {
    roomPassword_ = plain;
}

void ServerCore::setChatLog(bool on) {
    if (on != chatLog_) {
        chatLog_ = on;
        emit chatLogChanged(on);
    }
}

// ---------------------------------------------------------------- start and stop

bool ServerCore::StartServer(const QString& portText, QString* error) {
    if (listening_)
        return true;
    AddLog(std::string_view("STATUS [0] Server wordt gestart.."));

    bool ok = false;
    const uint port = portText.trimmed().toUInt(&ok, 10);
    QString reason;
    if (!ok || port < 1 || port > 65535) {
        reason =
            QStringLiteral("Ongeldige poort \"%1\": kies een getal van 1 tot en met 65535.").arg(portText);
    } else {
        password_ = ZindleEncrypt::Encrypt(ToBytes(roomPassword_));
        listener_->setLocalPort(static_cast<quint16>(port));
        QString listenError;
        if (!listener_->listen(&listenError)) {
            reason = QStringLiteral("Kan niet luisteren op poort %1: %2").arg(port).arg(listenError);
            listener_->close();
        }
    }
    if (!reason.isEmpty()) {
        AddLog(QStringLiteral("STATUS [0] Server kon niet worden gestart: ") + reason);
        if (error)
            *error = reason;
        return false;
    }
    listening_ = true;
    emit listeningChanged(true);
    AddLog(std::string_view("STATUS [0] Server is gestart!"));
    return true;
}

quint16 ServerCore::ListeningPort() const {
    return listening_ ? listener_->localPort() : 0;
}

void ServerCore::StopServer() {
    if (!listening_)
        return;
    AddLog(std::string_view("STATUS [0] Server wordt gestopt..."));
    listener_->close();
    ReleaseAll();
    AutoCount_ = 1;
    listening_ = false;
    emit userListChanged();
    emit listeningChanged(false);
    AddLog(std::string_view("STATUS [0] Server is gestopt!"));
}

void ServerCore::ReleaseAll() {
    for (int slot = 1; slot <= kMaxSlot && inUseCount_ > 0; ++slot) {
        const auto i = static_cast<std::size_t>(slot);
        if (Users[i].InUse != kTrue)
            continue;
        if (net::Winsock* socket = Winsock1[i]) {
            socket->disconnect(this);
            socket->close();
            socket->deleteLater();
        }
        Winsock1[i] = nullptr;
        Users[i].clear();
        std::string().swap(pendingTail_[i]);
        std::string().swap(remoteIp_[i]);
        overfull_[i] = 0;
        ++generation_[i];
        --inUseCount_;
    }
    LoggedIn_.clear();
    overfullQueue_.clear();
}

// ---------------------------------------------------------------- connections

int ServerCore::TakeFreeSlot() {
    if (inUseCount_ >= kMaxSlot)
        return -1;
    // At least one slot is free, so this ends within one round of the counter.
    for (int tries = 0; tries <= kMaxSlot; ++tries) {
        if (Users[static_cast<std::size_t>(AutoCount_)].InUse != kTrue)
            return AutoCount_;
        ++AutoCount_;
        if (AutoCount_ >= kSlotCount)
            AutoCount_ = 1;
    }
    return -1;
}

void ServerCore::Winsock1_ConnectionRequest(qintptr requestID) {
    const int slot = TakeFreeSlot();
    if (slot < 0) {
        net::Winsock::refuse(requestID);
        AddLog(std::string_view("STATUS [0] Inkomende verbinding geweigerd: alle plaatsen zijn bezet"));
        return;
    }
    auto* socket = new net::Winsock(this);
    if (!socket->accept(requestID)) {
        delete socket;
        return;
    }
    const auto i = static_cast<std::size_t>(slot);
    Winsock1[i] = socket;
    Users[i].clear();
    Users[i].InUse = kTrue;
    ++inUseCount_;
    remoteIp_[i] = ToBytes(socket->remoteHostIP());
    connect(socket, &net::Winsock::DataArrival, this, [this, slot](qint64) { Winsock1_DataArrival(slot); });
    connect(socket, &net::Winsock::Close, this, [this, slot] { Winsock1_Close(slot); });

    scratch_.assign("STATUS [");
    AppendNumber(scratch_, slot);
    scratch_.append("] Inkomende verbinding (");
    scratch_.append(remoteIp_[i]);
    scratch_ += ':';
    AppendNumber(scratch_, socket->remotePort());
    scratch_ += ')';
    AddLog(scratch_);
}

void ServerCore::Winsock1_Close(int Index) {
    if (Index < 1 || Index > kMaxSlot)
        return;
    const auto i = static_cast<std::size_t>(Index);
    if (Users[i].InUse != kTrue)
        return; // already released: a second close changes nothing
    net::Winsock* socket = Winsock1[i];
    Winsock1[i] = nullptr;
    Users[i].clear();
    std::string().swap(remoteIp_[i]);
    if (!inArrival_[i])
        std::string().swap(pendingTail_[i]);
    overfull_[i] = 0;
    ++generation_[i];
    --inUseCount_;

    const auto it = std::find(LoggedIn_.begin(), LoggedIn_.end(), static_cast<std::int16_t>(Index));
    if (it != LoggedIn_.end())
        LoggedIn_.erase(it);
    const std::string usrd = msg::BuildUsrd(Index);
    for (std::size_t k = 0; k < LoggedIn_.size(); ++k)
        SendToSlot(LoggedIn_[k], usrd, true);
    emit userListChanged();
    LogSlotLine("STATUS [", Index, "] Verbinding gesloten");

    if (socket) {
        socket->disconnect(this);
        socket->close();
        socket->deleteLater();
    }
}

void ServerCore::CloseAndRelease(int slot, std::uint32_t generation) {
    const auto i = static_cast<std::size_t>(slot);
    if (generation_[i] != generation || Users[i].InUse != kTrue)
        return; // the peer went first, or another connection holds the slot by now
    if (net::Winsock* socket = Winsock1[i])
        socket->close();
    Winsock1_Close(slot);
}

// ---------------------------------------------------------------- sending

void ServerCore::SendFrame(int slot, const char* data, std::size_t size) {
    const auto i = static_cast<std::size_t>(slot);
    net::Winsock* socket = Winsock1[i];
    if (!socket || overfull_[i])
        return; // gone, or about to be dropped: the message is lost without notice
    socket->sendData(data, static_cast<qint64>(size));
    if (socket->bytesToWrite() > kMaxUnsentBytes) {
        // The client stopped reading. Drop it after the current walk over
        // LoggedIn, which must not change under the caller's feet.
        overfull_[i] = 1;
        overfullQueue_.push_back(slot);
        if (!dropScheduled_) {
            dropScheduled_ = true;
            QMetaObject::invokeMethod(this, &ServerCore::DropOverfullSlots, Qt::QueuedConnection);
        }
    }
}

void ServerCore::DropOverfullSlots() {
    dropScheduled_ = false;
    std::vector<int> queue;
    queue.swap(overfullQueue_);
    for (int slot : queue) {
        const auto i = static_cast<std::size_t>(slot);
        if (!overfull_[i] || Users[i].InUse != kTrue)
            continue;
        LogSlotLine("STATUS [", slot, "] Client leest niet meer, verbinding wordt verbroken");
        CloseAndRelease(slot, generation_[i]);
    }
}

void ServerCore::SendToSlot(int slot, std::string_view text, bool SpecialPacket) {
    if (slot < 0 || slot > kMaxSlot)
        return;
    if (SpecialPacket) {
        if (chatLog_ || !text.starts_with(msg::kPriv))
            LogSlotLine("UIT -> [", slot, "] * ", text);
    }
    if (slot == batchSlot_) {
        wire::AppendFrame(batch_, text, SpecialPacket);
        return;
    }
    std::string frame;
    frame.reserve(text.size() + 3);
    wire::AppendFrame(frame, text, SpecialPacket);
    SendFrame(slot, frame.data(), frame.size());
}

void ServerCore::BeginBatch(int slot) {
    batchSlot_ = slot;
    batch_.clear();
}

void ServerCore::EndBatch() {
    const int slot = batchSlot_;
    batchSlot_ = -1;
    if (slot >= 0 && !batch_.empty())
        SendFrame(slot, batch_.data(), batch_.size());
    std::string().swap(batch_);
}

// ---------------------------------------------------------------- receiving

void ServerCore::Winsock1_DataArrival(int Index) {
    if (Index < 1 || Index > kMaxSlot)
        return;
    const auto i = static_cast<std::size_t>(Index);
    if (inArrival_[i])
        return; // pending events run inside this slot's own handler; it reads again when done
    const std::uint32_t generation = generation_[i];
    inArrival_[i] = 1;
    // The unterminated tail moves out of the table while it is worked on: a
    // release during pending events must not pull the bytes out from under us.
    std::string tail;
    tail.swap(pendingTail_[i]);

    bool alive = true;
    while (alive) {
        net::Winsock* socket = Winsock1[i];
        if (!socket || generation_[i] != generation)
            break;
        const QByteArray data = socket->getData();
        if (data.isEmpty())
            break;
        std::string_view work(data.constData(), static_cast<std::size_t>(data.size()));
        std::string joined;
        if (!tail.empty()) {
            joined = std::move(tail);
            joined.append(work);
            work = joined;
            tail.clear();
        }
        std::size_t pos = 0;
        while (pos < work.size()) {
            const std::size_t nul = work.find(wire::kTerminator, pos);
            if (nul == std::string_view::npos)
                break;
            const std::string_view message = work.substr(pos, nul - pos);
            pos = nul + 1;
            if (!HandleMessage(Index, message) || generation_[i] != generation) {
                alive = false;
                break;
            }
        }
        if (!alive)
            break;
        tail.assign(work.substr(pos));
        if (tail.size() > wire::kMaxPendingBytes) {
            // Too much without a terminator: this is not our protocol.
            tail.clear();
            SendToSlot(Index, msg::kServerWrongProtocol, false);
            net::DoEvents();
            CloseAndRelease(Index, generation);
            alive = false;
        }
    }

    if (generation_[i] == generation) {
        inArrival_[i] = 0;
        pendingTail_[i].swap(tail);
    } else {
        inArrival_[i] = 0;
        // A new connection may have taken the slot while pending events ran and
        // found the handler busy: give it its turn now.
        if (Winsock1[i] && Winsock1[i]->bytesAvailable() > 0)
            QMetaObject::invokeMethod(
                this,
                [this, Index, g = generation_[i]] {
                    if (generation_[static_cast<std::size_t>(Index)] == g)
                        Winsock1_DataArrival(Index);
                },
                Qt::QueuedConnection);
    }
}

bool ServerCore::HandleMessage(int slot, std::string_view message) {
    const msg::Message m = msg::Classify(message);
    if (m.kind == msg::Kind::Chat) {
        if (chatLog_)
            LogSlotLine("CHAT - [", slot, "] ", message);
        RelayChat(message);
        return true;
    }
    const bool isPriv = m.code == msg::kPriv;
    if (chatLog_ || !isPriv)
        LogSlotLine(" IN <- [", slot, "] * ", m.body);

    if (m.code == msg::kCack)
        return HandleCack(slot, m.payload);
    if (m.code == msg::kAckd)
        HandleAckd(slot);
    else if (m.code == msg::kAway)
        HandleAway(slot);
    else if (isPriv)
        HandlePriv(slot, m.payload);
    else if (m.code == msg::kFile)
        HandleFile(slot, m.payload);
    // Unknown codes are ignored.
    return true;
}

void ServerCore::RelayChat(std::string_view line) {
    // Framed once; the same bytes go to every logged-in user, the sender included.
    relayFrame_.assign(line);
    relayFrame_ += wire::kTerminator;
    for (std::size_t k = 0; k < LoggedIn_.size(); ++k)
        SendFrame(LoggedIn_[k], relayFrame_.data(), relayFrame_.size());
    if (relayFrame_.capacity() > 64 * 1024)
        std::string().swap(relayFrame_); // one long line does not pin its memory
}

bool ServerCore::HandleCack(int slot, std::string_view payload) {
    const auto i = static_cast<std::size_t>(slot);
    const std::string& ip = remoteIp_[i];
    for (const std::string& banned : banList_) {
        if (banned == ip) {
            Refuse(slot, msg::kReasonBanned);
            return false;
        }
    }
    msg::Cack login = msg::ParseCack(payload); // missing fields come back empty
    for (std::int16_t s : LoggedIn_) {
        const auto si = static_cast<std::size_t>(s);
        if (dubbelIP_ && remoteIp_[si] == ip) {
            Refuse(slot, msg::kReasonDuplicateIp);
            return false;
        }
        if (Users[si].Nickname == login.nickname) {
            Refuse(slot, msg::kReasonNickname);
            return false;
        }
    }
    if (password_ != login.scrambledPassword) {
        Refuse(slot, msg::kReasonPassword);
        return false;
    }
    if (!ZindleVersion::VersionAccepted(login.versionText)) {
        Refuse(slot, msg::kReasonVersion);
        return false;
    }
    Users[i].Nickname = std::move(login.nickname);
    Users[i].ClientVersion = std::move(login.versionText);
    SendToSlot(slot, msg::kSack, true);
    return true;
}

void ServerCore::Refuse(int slot, std::string_view reason) {
    const std::uint32_t generation = generation_[static_cast<std::size_t>(slot)];
    SendToSlot(slot, msg::BuildErro(reason), true);
    net::DoEvents();
    CloseAndRelease(slot, generation);
}

void ServerCore::HandleAckd(int slot) {
    const auto i = static_cast<std::size_t>(slot);
    Users[i].Acknowledged = kTrue;
    // A second "ACKD" must not put the slot on the list twice: the second entry
    // would outlive the connection.
    if (std::find(LoggedIn_.begin(), LoggedIn_.end(), static_cast<std::int16_t>(slot)) == LoggedIn_.end())
        LoggedIn_.push_back(static_cast<std::int16_t>(slot));
    BeginBatch(slot);
    SendToSlot(slot, msg::BuildSinf(serverNaam_, ZindleVersion::ServerVersionText()), true);
    SendToSlot(slot, msg::BuildMotd(motd_), true);
    const std::string usrn = msg::BuildUserEntry(msg::kUsrn, slot, Users[i].Nickname, Users[i].Away != 0);
    for (std::size_t k = 0; k < LoggedIn_.size(); ++k) {
        const int s = LoggedIn_[k];
        const UserSlot& user = Users[static_cast<std::size_t>(s)];
        SendToSlot(slot, msg::BuildUserEntry(msg::kUsrl, s, user.Nickname, user.Away != 0), true);
        if (s != slot)
            SendToSlot(s, usrn, true);
    }
    EndBatch();
    emit userListChanged();
}

void ServerCore::HandleAway(int slot) {
    UserSlot& user = Users[static_cast<std::size_t>(slot)];
    user.Away = user.Away != 0 ? kFalse : kTrue;
    const std::string usrc = msg::BuildUserEntry(msg::kUsrc, slot, user.Nickname, user.Away != 0);
    for (std::size_t k = 0; k < LoggedIn_.size(); ++k)
        SendToSlot(LoggedIn_[k], usrc, true);
}

void ServerCore::HandlePriv(int slot, std::string_view payload) {
    const msg::PrivMessage priv = msg::ParsePriv(payload);
    if (priv.complete && priv.slot && *priv.slot == slot)
        return; // to oneself: no message, no reply
    if (!priv.complete || !priv.slot || !IsInUse(*priv.slot)) {
        SendToSlot(slot, msg::kPrivateUndeliverable, false);
        return;
    }
    SendToSlot(*priv.slot, msg::BuildPriv(slot, priv.text), true);
}

void ServerCore::HandleFile(int slot, std::string_view payload) {
    const msg::FileOffer offer = msg::ParseFileOffer(payload);
    const bool deliverable = offer.complete && offer.recipient && *offer.recipient >= 1 &&
                             *offer.recipient <= kMaxSlot &&
                             Users[static_cast<std::size_t>(*offer.recipient)].Acknowledged == kTrue;
    if (!deliverable) {
        SendToSlot(slot, msg::BuildFerr(offer.port), true);
        return;
    }
    SendToSlot(
        *offer.recipient,
        msg::BuildFileRelay(slot, offer.fileName, remoteIp_[static_cast<std::size_t>(slot)], offer.port),
        true);
}

// ---------------------------------------------------------------- message of the day

void ServerCore::SaveMOTD(const QString& naam, const QString& motd) {
    std::string newNaam = ToBytes(naam);
    std::string newMotd = ToBytes(motd);
    if (listening_) {
        const bool naamChanged = newNaam != serverNaam_;
        const bool motdChanged = newMotd != motd_;
        const std::string sinf = msg::BuildSinf(newNaam, ZindleVersion::ServerVersionText());
        const std::string motdMessage = msg::BuildMotd(newMotd);
        for (std::size_t k = 0; k < LoggedIn_.size(); ++k) {
            if (naamChanged)
                SendToSlot(LoggedIn_[k], sinf, true);
            if (motdChanged)
                SendToSlot(LoggedIn_[k], motdMessage, true);
        }
    }
    const bool changed = newNaam != serverNaam_ || newMotd != motd_;
    serverNaam_ = std::move(newNaam);
    motd_ = std::move(newMotd);
    if (changed)
        emit committedChanged();
}

// ---------------------------------------------------------------- users

bool ServerCore::IsInUse(int slot) const {
    return slot >= 1 && slot <= kMaxSlot && Users[static_cast<std::size_t>(slot)].InUse == kTrue;
}

QStringList ServerCore::UserListEntries() const {
    QStringList entries;
    entries.reserve(static_cast<qsizetype>(LoggedIn_.size()));
    for (std::int16_t s : LoggedIn_)
        entries << QString::number(s) + u'#' + FromBytes(Users[static_cast<std::size_t>(s)].Nickname);
    return entries;
}

QString ServerCore::RemoteIP(int slot) const {
    return IsInUse(slot) ? FromBytes(remoteIp_[static_cast<std::size_t>(slot)]) : QString();
}

quint16 ServerCore::RemotePort(int slot) const {
    net::Winsock* socket = IsInUse(slot) ? Winsock1[static_cast<std::size_t>(slot)] : nullptr;
    return socket ? socket->remotePort() : 0;
}

QString ServerCore::RemoteHost(int slot) const {
    net::Winsock* socket = IsInUse(slot) ? Winsock1[static_cast<std::size_t>(slot)] : nullptr;
    return socket ? socket->remoteHost() : QString();
}

QString ServerCore::UserInfoText(int slot) const {
    if (!IsInUse(slot))
        return QString();
    const UserSlot& user = Users[static_cast<std::size_t>(slot)];
    const QString crlf = QStringLiteral("\r\n");
    QString text = QStringLiteral("ID: ") + QString::number(slot) + crlf + QStringLiteral("Nickname: ") +
                   FromBytes(user.Nickname) + crlf + QStringLiteral("Client versie: ") +
                   FromBytes(user.ClientVersion) + crlf + QStringLiteral("Away: ") +
                   (user.Away != 0 ? QStringLiteral("Waar") : QStringLiteral("Onwaar")) + crlf +
                   QStringLiteral("IP-Adres: ") + RemoteIP(slot) + crlf + QStringLiteral("Port: ") +
                   QString::number(RemotePort(slot));
    const QString host = RemoteHost(slot);
    if (!host.isEmpty())
        text += crlf + QStringLiteral("Host: ") + host + crlf;
    return text;
}

// ---------------------------------------------------------------- moderation

int ServerCore::SlotOfEntry(const QString& entry) {
    const auto fields = ZindleDivideCombine::Divide(ToBytes(entry));
    const auto slot = msg::ParseSlotNumber(fields.front());
    return slot ? *slot : -1;
}

void ServerCore::SendNotices(int target, const std::string& nickname, bool ban) {
    std::string other = "* ";
    other.append(nickname);
    other.append(ban ? kBannedOther : kKickedOther);
    const std::string_view personal = ban ? kBannedYou : kKickedYou;
    for (std::size_t k = 0; k < LoggedIn_.size(); ++k) {
        const int s = LoggedIn_[k];
        SendToSlot(s, s == target ? personal : std::string_view(other), false);
    }
}

namespace {
// The nickname as the user list shows it, read back the way the list is read:
// the entry "slot#nickname" split into fields.
std::string ListedNickname(int slot, const std::string& nickname) {
    std::string entry = std::to_string(slot);
    entry += '#';
    entry += nickname;
    const auto fields = ZindleDivideCombine::Divide(entry);
    return fields.size() > 1 ? fields[1] : std::string();
}
} // namespace

bool ServerCore::Kick(int slot) {
    if (!IsInUse(slot))
        return false;
    const auto i = static_cast<std::size_t>(slot);
    const std::uint32_t generation = generation_[i];
    SendNotices(slot, ListedNickname(slot, Users[i].Nickname), false);
    net::DoEvents();
    CloseAndRelease(slot, generation);
    return true;
}

bool ServerCore::Ban(int slot) {
    if (!IsInUse(slot))
        return false;
    const auto i = static_cast<std::size_t>(slot);
    const std::string address = remoteIp_[i];
    const std::uint32_t generation = generation_[i];
    banList_.push_back(address);
    emit banListChanged();
    SendNotices(slot, ListedNickname(slot, Users[i].Nickname), true);
    net::DoEvents();
    CloseAndRelease(slot, generation);

    // Every other connection from the banned address goes too, in slot order.
    for (int s = 1; s <= kMaxSlot && inUseCount_ > 0; ++s) {
        const auto si = static_cast<std::size_t>(s);
        if (Users[si].InUse != kTrue || remoteIp_[si] != address)
            continue;
        SendNotices(s, Users[si].Nickname, true);
        CloseAndRelease(s, generation_[si]);
    }
    return true;
}

bool ServerCore::KickEntry(const QString& entry) {
    return Kick(SlotOfEntry(entry));
}
bool ServerCore::BanEntry(const QString& entry) {
    return Ban(SlotOfEntry(entry));
}

// ---------------------------------------------------------------- ban list

QStringList ServerCore::BanList() const {
    QStringList list;
    list.reserve(static_cast<qsizetype>(banList_.size()));
    for (const std::string& ip : banList_)
        list << FromBytes(ip);
    return list;
}

void ServerCore::RemoveBan(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= banList_.size())
        return;
    banList_.erase(banList_.begin() + index);
    emit banListChanged();
}

int ServerCore::RemoveBanAddress(const QString& ip) {
    const std::string bytes = ToBytes(ip);
    const auto before = banList_.size();
    std::erase(banList_, bytes);
    const int removed = static_cast<int>(before - banList_.size());
    if (removed > 0)
        emit banListChanged();
    return removed;
}

void ServerCore::ClearBans() {
    if (banList_.empty())
        return;
    banList_.clear();
    emit banListChanged();
}

void ServerCore::AddBan(const QString& ip) {
    banList_.push_back(ToBytes(ip));
    emit banListChanged();
}

} // namespace server
