// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/core/ClientSession.h"

#include "client/core/SessionCaption.h"
#include "client/core/WireText.h"
#include "common/ZindleDivideCombine.h"
#include "common/ZindleMessages.h"
#include "common/ZindleVersion.h"
#include "net/Winsock.h"

#include <QByteArray>
#include <algorithm>

namespace client {

namespace msg = ZindleMessages;

namespace {
const QString kCrLf = QStringLiteral("\r\n");
const QString kConnectionEnded = QStringLiteral("**VERBINDING BE\u00CBINDIGD**\r\n");
// The server sent more than a message may hold without ending it.
const QString kBadServerData = QStringLiteral("**ONGELDIGE GEGEVENS VAN DE SERVER**\r\n");

// The transcript line for a refusal reason; empty for reasons that show nothing.
QString RefusalLine(std::string_view reason) {
    if (reason == msg::kReasonBanned)
        return QStringLiteral("**GEBANNED VAN DE SERVER**\r\n");
    if (reason == msg::kReasonNickname)
        return QStringLiteral("**NICKNAME BESTAAT AL OP DE SERVER OF IS NIET TOEGESTAAN**\r\n");
    if (reason == msg::kReasonPassword)
        return QStringLiteral("**WACHTWOORD FOUT**\r\n");
    if (reason == msg::kReasonVersion)
        return QStringLiteral("**TE LAGE VERSIE, U MOET DE CLIENT UPDATEN**\r\n");
    return {};
}

// The server's notice to the user it throws out; it closes the connection next.
bool IsRemovalNotice(const QString& line) {
    return line.startsWith(QStringLiteral("**Je bent gekicked van de server")) ||
           line.startsWith(QStringLiteral("**Je bent gebanned van de server"));
}

bool IsCommand(std::string_view message) {
    return message.substr(0, 2) == ZindleWire::kCommandPrefix;
}
std::string_view CodeOf(std::string_view message) {
    return message.substr(2, 4);
}
std::string_view PayloadOf(std::string_view message) {
    return message.size() > 6 ? message.substr(6) : std::string_view{};
}
} // namespace

ClientSession::ClientSession(net::Winsock* winsock, QObject* parent)
    : QObject(parent), winsock_(winsock ? winsock : new net::Winsock(this)),
      caption_(QStringLiteral("ZindleChat")) {
    // A link that died without a word (suspend, a changed network) is noticed.
    winsock_->setKeepalive(true);
    connect(winsock_, &net::Winsock::Connect, this, &ClientSession::Winsock1_Connect);
    connect(winsock_, &net::Winsock::DataArrival, this, &ClientSession::Winsock1_DataArrival);
    connect(winsock_, &net::Winsock::Close, this, &ClientSession::peerClosed);
}

ClientSession::~ClientSession() = default;

void ClientSession::setLocalNickname(const QString& nickname) {
    localNickname_ = WireSafe(nickname);
}

void ClientSession::setCaption(const QString& caption) {
    caption_ = caption;
    emit captionChanged(caption_);
}

void ClientSession::SendData(std::string_view strData, bool SpecialPacket) {
    if (winsock_->state() != net::Winsock::State::Connected)
        return;
    std::string text(strData);
    // A NUL would end the message early and start a forged one.
    text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
    const std::string framed = ZindleWire::Frame(text, SpecialPacket);
    winsock_->sendData(framed.data(), qint64(framed.size()));
}

void ClientSession::SetAway() {
    SendData(msg::kAway, true);
    away_ = !away_;
    caption_ = ApplyAwayPrefix(caption_, away_);
    emit awayChanged(away_);
    emit captionChanged(caption_);
}

// --- session start ---------------------------------------------------------

void ClientSession::Winsock1_Connect() {
    ++generation_;
    acknowledged_ = false;
    ending_ = Ending::None;
    removalNoticeLast_ = false;
    state_ = State::LoggingIn;
    // What the last connection left unfinished is no part of this one.
    buffer_.clear();
    emit sessionStarted();

    // Queued events (a click) run before the login goes out; anything may have
    // changed afterwards.
    const unsigned generation = generation_;
    if (!inSessionStart_) {
        inSessionStart_ = true;
        net::DoEvents();
        inSessionStart_ = false;
    }
    if (generation != generation_ || state_ != State::LoggingIn)
        return;
    SendData(msg::BuildCack(ToWire(localNickname_), password_, ZindleVersion::ClientVersionText()), true);
}

// --- receiving -------------------------------------------------------------

// The socket never raises this inside itself, and nothing handled here lets the
// event loop run, so one arrival is read and handled at a time.
void ClientSession::Winsock1_DataArrival() {
    const QByteArray data = winsock_->getData();
    if (data.isEmpty() || (state_ != State::LoggingIn && state_ != State::InSession))
        return;
    const auto status = buffer_.Feed(std::string_view(data.constData(), std::size_t(data.size())),
                                     [this](std::string_view message) { return handleMessage(message); });
    if (status == ZindleWire::MessageBuffer::Status::Overflow)
        protocolError();
}

bool ClientSession::handleMessage(std::string_view message) {
    switch (state_) {
    case State::LoggingIn:
        return loginDispatch(message);
    case State::InSession:
        return sessionDispatch(message);
    case State::NoSession:
    case State::Closed:
        break;
    }
    return false;
}

bool ClientSession::loginDispatch(std::string_view message) {
    if (IsCommand(message) && CodeOf(message) == msg::kSack) {
        acknowledged_ = true;
        state_ = State::InSession;
        SendData(msg::kAckd, true);
        emit loggedIn();
        return true;
    }
    if (IsCommand(message) && CodeOf(message) == msg::kErro) {
        const QString line = RefusalLine(PayloadOf(message).substr(0, 4));
        if (line.isEmpty())
            return true; // "DBIP" and the unknown: wait for the server's close
        emit output(line);
        closeAfterRefusal();
        return false;
    }
    SendData(msg::kClientWrongProtocol, false);
    closeAfterRefusal();
    return false;
}

bool ClientSession::sessionDispatch(std::string_view message) {
    removalNoticeLast_ = false;
    if (!IsCommand(message)) {
        const QString line = DecodeText(ZindleDivideCombine::Unescape(message));
        // Anyone can send such a line; only the server's close right after it
        // makes it count.
        removalNoticeLast_ = IsRemovalNotice(line);
        emit output(line);
        if (!away_)
            emit attentionRequested();
        return true;
    }
    const std::string_view code = CodeOf(message);
    const std::string_view payload = PayloadOf(message);
    if (code == msg::kSinf) {
        const msg::ServerInfo info = msg::ParseSinf(payload);
        setCaption(SessionCaption(localNickname_, DecodeText(info.roomName), FromWire(info.serverVersion)));
    } else if (code == msg::kUsrl) {
        addUser(payload, false);
    } else if (code == msg::kUsrn) {
        addUser(payload, true);
    } else if (code == msg::kUsrc) {
        changeUser(payload);
    } else if (code == msg::kUsrd) {
        removeUser(payload);
    } else if (code == msg::kMotd) {
        // Shown as sent: neither divided nor unescaped.
        emit output(QStringLiteral("Message of the Day:\r\n---\r\n") + DecodeText(payload) +
                    QStringLiteral("\r\n---\r\n"));
    } else if (code == msg::kPriv) {
        return privateMessage(payload);
    } else if (code == msg::kFile) {
        fileOfferArrived(payload);
    }
    return true; // anything else, "FERR" among it, is ignored
}

void ClientSession::addUser(std::string_view payload, bool announce) {
    const msg::UserEntry entry = msg::ParseUserEntry(payload);
    if (!entry.id)
        return; // no usable id: nothing could ever change or remove the entry
    const QString text = UserList::EntryText(FromWire(entry.nickname), entry.away);
    const int index = users_.add(text, *entry.id);
    emit userAdded(index, text, *entry.id);
    if (announce)
        emit output(QStringLiteral("* ") + text + QStringLiteral(" is de chatserver binnengekomen...\r\n"));
}

void ClientSession::changeUser(std::string_view payload) {
    const msg::UserEntry entry = msg::ParseUserEntry(payload);
    if (!entry.id)
        return;
    const QString text = UserList::EntryText(FromWire(entry.nickname), entry.away);
    for (int i = 0; i < users_.count(); ++i) {
        if (users_.at(i).id == *entry.id) {
            users_.setText(i, text);
            emit userChanged(i, text);
        }
    }
}

void ClientSession::removeUser(std::string_view payload) {
    const std::optional<int> id = msg::ParseUsrd(payload);
    if (!id)
        return;
    int last = -1;
    for (int i = 0; i < users_.count(); ++i) {
        if (users_.at(i).id == *id) {
            emit output(QStringLiteral("* ") + users_.at(i).text +
                        QStringLiteral(" heeft de chatserver verlaten...\r\n"));
            last = i;
        }
    }
    if (last >= 0) {
        users_.removeAt(last);
        emit userRemoved(last);
    }
}

bool ClientSession::privateMessage(std::string_view payload) {
    const msg::PrivMessage priv = msg::ParsePriv(payload);
    if (!priv.slot || !priv.complete || !privateMessage_)
        return true;
    return privateMessage_(*priv.slot, DecodeText(priv.text)) && state_ == State::InSession;
}

void ClientSession::fileOfferArrived(std::string_view payload) {
    const msg::FileRelay offer = msg::ParseFileRelay(payload);
    if (!offer.sender || !offer.complete)
        return;
    emit fileOffer(*offer.sender, DecodeText(offer.fileName), FromWire(offer.senderIp), FromWire(offer.port),
                   users_.nicknameOf(*offer.sender));
}

// --- ending ----------------------------------------------------------------

void ClientSession::closeAfterRefusal() {
    ending_ = Ending::Refused;
    winsock_->close();
    Winsock1_Close();
}

void ClientSession::protocolError() {
    ending_ = Ending::Lost;
    emit output(kBadServerData);
    Winsock1_Close();
}

void ClientSession::peerClosed() {
    ending_ = removalNoticeLast_ ? Ending::Removed : Ending::Lost;
    Winsock1_Close();
}

void ClientSession::EndOnPurpose() {
    const bool open = state_ != State::Closed;
    ending_ = Ending::OnPurpose;
    if (open)
        Winsock1_Close();
}

void ClientSession::Winsock1_Close() {
    if (ending_ == Ending::None)
        ending_ = Ending::OnPurpose;
    winsock_->close();
    state_ = State::Closed;
    users_.clear();
    emit usersCleared();
    emit output(kConnectionEnded);
    emit sessionClosed();
}

} // namespace client
