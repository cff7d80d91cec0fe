// SPDX-License-Identifier: GPL-3.0-or-later
// The dispatcher: every message a client sends, from the login to the relays.
#include "common/ZindleFraming.h"
#include "common/ZindleMessages.h"
#include "common/ZindleVersion.h"
#include "net/ServerTransport.h"
#include "server/core/CoreText.h"
#include "server/core/ServerCore.h"

#include <algorithm>
#include <cmath>

namespace server {

namespace msg = ZindleMessages;
namespace wire = ZindleWire;

void ServerCore::Winsock1_DataArrival(int Index) {
    if (!IsInUse(Index))
        return;
    const auto i = static_cast<std::size_t>(Index);
    if (Users[i].inArrival)
        return; // raised again from inside this slot's own handler; it is read when done
    if (tlsOnly_ && !transport_->isEncrypted(Index)) {
        RefusePlaintext(Index);
        return;
    }
    const std::uint32_t generation = Users[i].generation;
    Users[i].inArrival = true;

    std::string data;
    data.swap(readBuffer_);
    data.clear();
    transport_->readInto(Index, data);
    const auto status = Users[i].input.Feed(data, [&](std::string_view message) {
        return HandleMessage(Index, message) && Users[i].generation == generation;
    });
    if (data.capacity() <= 256 * 1024)
        readBuffer_.swap(data);

    SlotRecord& r = Users[i];
    r.inArrival = false;
    if (r.generation != generation) {
        r.input.clear(); // the bytes of a connection that is gone
        return;
    }
    if (status == wire::MessageBuffer::Status::Overflow) {
        // A message longer than any we send: this is not our protocol.
        SendToSlot(Index, msg::kServerWrongProtocol, false);
        CloseAndRelease(Index, generation);
        return;
    }
    if (limits_.floodRate > 0 && r.floodTokens < 1 && !r.floodPaused) {
        r.floodPaused = true;
        transport_->setReading(Index, false);
        floodPaused_.emplace_back(Index, generation);
    }
    if (limits_.sendBudgetBytes > 0 && !budgetPaused_ &&
        transport_->totalUnsentBytes() > limits_.sendBudgetBytes)
        EnforceSendBudget();
}

// Counts one line against the sender's allowance (refilled at the line rate, up
// to the burst). The allowance may go below zero within one arrival: the lines
// already read are served, and reading waits until it has refilled.
bool ServerCore::TakeFloodToken(SlotRecord& r) {
    if (limits_.floodRate <= 0)
        return true;
    const std::int64_t now = Now();
    const double refill = double(now - r.floodRefilledMs) * limits_.floodRate / 1000.0;
    r.floodTokens = std::min(double(limits_.floodBurst), r.floodTokens + std::max(0.0, refill));
    r.floodRefilledMs = now;
    r.floodTokens -= 1;
    return r.floodTokens >= 0;
}

void ServerCore::ResumeFloodPaused() {
    if (floodPaused_.empty())
        return;
    const std::int64_t now = Now();
    std::vector<int> resumed;
    std::erase_if(floodPaused_, [&](const std::pair<int, std::uint32_t>& entry) {
        SlotRecord& r = Users[static_cast<std::size_t>(entry.first)];
        if (r.generation != entry.second || r.user.InUse != kTrue || !r.floodPaused)
            return true;
        const double refill = double(now - r.floodRefilledMs) * limits_.floodRate / 1000.0;
        if (limits_.floodRate > 0 && r.floodTokens + refill < 1)
            return false;
        r.floodTokens = std::min(double(limits_.floodBurst), r.floodTokens + std::max(0.0, refill));
        r.floodRefilledMs = now;
        r.floodPaused = false;
        resumed.push_back(entry.first);
        return true;
    });
    // Outside the walk: switching reading on may let arrivals in.
    for (int slot : resumed)
        if (!budgetPaused_ && IsInUse(slot))
            transport_->setReading(slot, true);
}

bool ServerCore::HandleMessage(int slot, std::string_view message) {
    SlotRecord& r = Users[static_cast<std::size_t>(slot)];
    TakeFloodToken(r);
    const bool loggedIn = r.user.Acknowledged == kTrue;
    const msg::Message m = msg::Classify(message);
    if (m.kind == msg::Kind::Chat) {
        if (chatLog_)
            LogSlotLine("CHAT - [", slot, "] ", message);
        if (loggedIn)
            RelayChat(message);
        return true;
    }
    const bool isPriv = m.code == msg::kPriv;
    if (logMessages_ && (chatLog_ || !isPriv))
        LogSlotLine(" IN <- [", slot, "] * ", m.body);

    if (m.code == msg::kCack)
        return HandleCack(slot, m.payload);
    if (m.code == msg::kAckd)
        HandleAckd(slot);
    else if (!loggedIn)
        return true; // nothing else counts before the login
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
    if (IsBanned(r.ip)) {
        Refuse(slot, msg::kReasonBanned);
        return false;
    }
    msg::Cack login = msg::ParseCack(payload); // missing fields come back empty
    for (std::int16_t s : LoggedIn_) {
        const SlotRecord& other = Users[static_cast<std::size_t>(s)];
        if (dubbelIP_ && other.ip == r.ip) {
            Refuse(slot, msg::kReasonDuplicateIp);
            return false;
        }
        if (other.user.Nickname == login.nickname) {
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
    ForgetPending(slot);
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
