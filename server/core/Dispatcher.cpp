// SPDX-License-Identifier: GPL-3.0-or-later
// The dispatcher: every message a client sends, from the login to the relays.
#include "common/ZindleFraming.h"
#include "common/ZindleMessages.h"
#include "common/ZindleVersion.h"
#include "net/ServerTransport.h"
#include "server/core/CoreText.h"
#include "server/core/ServerCore.h"

namespace server {

namespace msg = ZindleMessages;
namespace wire = ZindleWire;

void ServerCore::Winsock1_DataArrival(int Index) {
    if (!IsInUse(Index))
        return;
    SlotRecord& r = Users[static_cast<std::size_t>(Index)];
    if (r.inArrival)
        return; // raised again from inside this slot's own handler; it is read when done
    // The connection table hands over a bounded amount per pass; what a limit
    // leaves unhandled waits in the input with reading switched off.
    if (tlsOnly_ && !transport_->isEncrypted(Index)) {
        RefusePlaintext(Index);
        return;
    }
    std::string data;
    data.swap(readBuffer_);
    data.clear();
    transport_->readInto(Index, data);
    r.input.Append(data);
    if (data.capacity() <= 256 * 1024)
        readBuffer_.swap(data);
    DrainInput(Index);
}

// One message at a time, and back-pressure is asked before each: out of
// allowance or over the budget, the rest stays in the slot's input and reading
// from the slot stops until it may go on.
void ServerCore::DrainInput(int slot) {
    SlotRecord& r = Users[static_cast<std::size_t>(slot)];
    if (r.inArrival)
        return; // its messages are being handled further up: that goes on
    const std::uint32_t generation = r.generation;
    r.inArrival = true;
    for (;;) {
        if (pressure_.Paused())
            break; // reading is off everywhere; the rest goes on when it resumes
        std::string_view message;
        const SlotInput::Next next = r.input.Peek(&message);
        if (next == SlotInput::Next::Empty)
            break;
        if (next == SlotInput::Next::Overflow) {
            // A message longer than any we send: this is not our protocol.
            r.input.Clear();
            r.inArrival = false;
            SendToSlot(slot, msg::kServerWrongProtocol, false);
            CloseAndRelease(slot, generation);
            return;
        }
        if (!pressure_.Take(slot, message.size(), Now())) {
            pressure_.Wait({slot, generation}, message.size());
            transport_->setReading(slot, false);
            break;
        }
        r.input.Pop();
        HandleMessage(slot, message);
        if (r.generation != generation)
            break;
        if (pressure_.ShouldPause(transport_->totalUnsentBytes()))
            EnforceSendBudget();
    }
    r.inArrival = false;
    if (r.generation != generation)
        r.input.Clear(); // the bytes of a connection that is gone
}

void ServerCore::ResumeWaiting(const std::vector<SlotRef>& refs) {
    for (const SlotRef ref : refs) {
        if (!IsInUse(ref.slot) || Users[std::size_t(ref.slot)].generation != ref.generation)
            continue;
        DrainInput(ref.slot);
        // Reading goes on once what was held is handled and no limit stopped it again.
        if (IsInUse(ref.slot) && Users[std::size_t(ref.slot)].generation == ref.generation &&
            !pressure_.Paused() && !pressure_.Waiting(ref.slot))
            transport_->setReading(ref.slot, true);
    }
}

void ServerCore::ResumeFloodPaused() {
    ResumeWaiting(pressure_.Refilled(Now()));
}

void ServerCore::HandleMessage(int slot, std::string_view message) {
    SlotRecord& r = Users[static_cast<std::size_t>(slot)];
    const bool loggedIn = r.user.Acknowledged == kTrue;
    const msg::Message m = msg::Classify(message);
    const bool isLogin = m.kind != msg::Kind::Chat && (m.code == msg::kCack || m.code == msg::kAckd);
    if (!loggedIn && (!isLogin || (m.code == msg::kCack && r.loginAccepted))) {
        // Before the login only "CACK" and "ACKD" count; the rest is counted,
        // and its text never reaches the log.
        desk_.CountIgnored(slot);
        return;
    }
    if (m.kind == msg::Kind::Chat) {
        if (chatLog_)
            LogSlotLine("CHAT - [", slot, "] ", message);
        RelayChat(message);
        return;
    }
    const bool isPriv = m.code == msg::kPriv;
    if (logMessages_ && (chatLog_ || !isPriv))
        LogSlotLine(" IN <- [", slot, "] * ", m.body);

    if (m.code == msg::kCack)
        HandleCack(slot, m.payload);
    else if (m.code == msg::kAckd)
        HandleAckd(slot);
    else if (m.code == msg::kAway)
        HandleAway(slot);
    else if (isPriv)
        HandlePriv(slot, m.payload);
    else if (m.code == msg::kFile)
        HandleFile(slot, m.payload);
    // Unknown codes are ignored.
}

void ServerCore::RelayChat(std::string_view line) {
    // Framed once; the same bytes go to every logged-in user, the sender included.
    // Taken out of the member while it is handed out: a relay run from inside a
    // send frames its own line and must not overwrite this one.
    std::string frame;
    frame.swap(relayFrame_);
    frame.assign(line);
    frame += wire::kTerminator;
    ForEachLoggedIn([&](int s) { SendFrame(s, frame.data(), frame.size()); });
    if (frame.capacity() <= 64 * 1024)
        relayFrame_.swap(frame); // one long line does not pin its memory
}

bool ServerCore::HandleCack(int slot, std::string_view payload) {
    SlotRecord& r = Users[static_cast<std::size_t>(slot)];
    if (r.loginAccepted) {
        // One nickname per connection: a second login would rename the user on
        // the server only.
        if (!r.secondCackLogged)
            LogSlotLine("STATUS [", slot, "] Tweede aanmelding genegeerd");
        r.secondCackLogged = true;
        return false;
    }
    if (IsBanned(r.ip)) {
        Refuse(slot, msg::kReasonBanned);
        return false;
    }
    msg::Cack login = msg::ParseCack(payload); // missing fields come back empty
    if (dubbelIP_) {
        for (std::int16_t s : LoggedIn_) {
            if (Users[static_cast<std::size_t>(s)].ip == r.ip) {
                Refuse(slot, msg::kReasonDuplicateIp);
                return false;
            }
        }
    }
    const std::string key = AddressKey(r.ip);
    if (limits_.maxUsersPerAddress > 0 && desk_.UsersFrom(key) >= limits_.maxUsersPerAddress) {
        Refuse(slot, msg::kReasonDuplicateIp);
        return false;
    }
    if (desk_.HeldByOther(login.nickname, slot)) {
        Refuse(slot, msg::kReasonNickname);
        return false;
    }
    if (password_ != login.scrambledPassword) {
        Refuse(slot, msg::kReasonPassword);
        return false;
    }
    if (!ZindleVersion::VersionAccepted(login.versionText)) {
        Refuse(slot, msg::kReasonVersion);
        return false;
    }
    desk_.Reserve(login.nickname, slot);
    desk_.AddUser(key);
    r.user.Nickname = std::move(login.nickname);
    r.user.ClientVersion = std::move(login.versionText);
    r.loginAccepted = true;
    SendToSlot(slot, msg::kSack, true);
    return true;
}

void ServerCore::Refuse(int slot, std::string_view reason) {
    // The close is graceful: the reason still leaves before the connection ends.
    const std::uint32_t generation = Users[static_cast<std::size_t>(slot)].generation;
    SendToSlot(slot, msg::BuildErro(reason), true);
    CloseAndRelease(slot, generation);
}

void ServerCore::HandleAckd(int slot) {
    SlotRecord& r = Users[static_cast<std::size_t>(slot)];
    // Only once, and only after an accepted "CACK": anything else would let a
    // connection skip the password and ban checks, or list a user twice.
    if (!r.loginAccepted || r.user.Acknowledged == kTrue)
        return;
    LeaveDesk(slot);
    r.user.Acknowledged = kTrue;
    LoggedIn_.push_back(static_cast<std::int16_t>(slot));
    BeginBatch(slot);
    SendToSlot(slot, msg::BuildSinf(serverNaam_, ZindleVersion::ServerVersionText()), true);
    SendToSlot(slot, msg::BuildMotd(motd_), true);
    const std::string usrn = msg::BuildUserEntry(msg::kUsrn, slot, r.user.Nickname, r.user.Away != 0);
    const std::uint32_t generation = r.generation;
    ForEachLoggedIn([&](int s) {
        if (Users[static_cast<std::size_t>(slot)].generation != generation)
            return; // the newcomer went while the others heard of it
        const UserSlot& user = Users[static_cast<std::size_t>(s)].user;
        SendToSlot(slot, msg::BuildUserEntry(msg::kUsrl, s, user.Nickname, user.Away != 0), true);
        if (s != slot)
            SendToSlot(s, usrn, true);
    });
    EndBatch();
    emit userListChanged();
}

void ServerCore::HandleAway(int slot) {
    UserSlot& user = Users[static_cast<std::size_t>(slot)].user;
    user.Away = user.Away != 0 ? kFalse : kTrue;
    const std::string usrc = msg::BuildUserEntry(msg::kUsrc, slot, user.Nickname, user.Away != 0);
    ForEachLoggedIn([&](int s) { SendToSlot(s, usrc, true); });
}

void ServerCore::HandlePriv(int slot, std::string_view payload) {
    const msg::PrivMessage priv = msg::ParsePriv(payload);
    if (priv.complete && priv.slot && *priv.slot == slot)
        return; // to oneself: no message, no reply
    if (!priv.complete || !priv.slot || !IsLoggedIn(*priv.slot)) {
        SendToSlot(slot, msg::kPrivateUndeliverable, false);
        return;
    }
    SendToSlot(*priv.slot, msg::BuildPriv(slot, priv.text), true);
}

void ServerCore::HandleFile(int slot, std::string_view payload) {
    const msg::FileOffer offer = msg::ParseFileOffer(payload);
    const bool deliverable = offer.complete && offer.recipient && IsLoggedIn(*offer.recipient);
    if (!deliverable) {
        SendToSlot(slot, msg::BuildFerr(offer.port), true);
        return;
    }
    SendToSlot(
        *offer.recipient,
        msg::BuildFileRelay(slot, offer.fileName, Users[static_cast<std::size_t>(slot)].ip, offer.port),
        true);
}

} // namespace server
