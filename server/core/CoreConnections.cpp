// SPDX-License-Identifier: GPL-3.0-or-later
// The core's connections: accepting them into slots, the send path with its
// limits, the send budget, and releasing slots.
#include "common/ZindleFraming.h"
#include "common/ZindleMessages.h"
#include "net/PeerAddress.h"
#include "net/ServerTransport.h"
#include "server/core/CoreText.h"
#include "server/core/ServerCore.h"

#include <QMetaObject>
#include <algorithm>

namespace server {

namespace msg = ZindleMessages;
namespace wire = ZindleWire;

// ---------------------------------------------------------------- connections

// At its limit of waiting connections an address makes room: the one waiting
// longest goes, so whoever logs in promptly gets in behind a shared address.
bool ServerCore::Admit(const std::string& ip) {
    const auto oldest = desk_.OldestAtLimit(AddressKey(ip), limits_.maxPendingPerAddress);
    if (!oldest)
        return true;
    LogSlotLine("STATUS [", oldest->slot,
                "] Wachtte het langst op inloggen, maakt plaats voor een nieuwe verbinding");
    CloseAndRelease(oldest->slot, oldest->generation, true);
    return !desk_.OldestAtLimit(AddressKey(ip), limits_.maxPendingPerAddress);
}

void ServerCore::Winsock1_ConnectionRequest(qintptr requestID) {
    outOfDescriptors_ = false;
    std::string ip = ToBytes(transport_->requestPeerIP(requestID));
    if (!Admit(ip)) {
        transport_->refuse(requestID);
        return;
    }
    const int slot = Users.TakeFree();
    if (slot < 0) {
        transport_->refuse(requestID);
        AddLog(std::string_view("STATUS [0] Inkomende verbinding geweigerd: alle plaatsen zijn bezet"));
        return;
    }
    if (!transport_->accept(requestID, slot))
        return;
    const std::int64_t now = Now();
    Users.Occupy(slot, std::move(ip), transport_->peerPort(slot), now);
    SlotRecord& r = Users[static_cast<std::size_t>(slot)];
    pressure_.Fill(slot, now);
    desk_.Enter({slot, r.generation}, AddressKey(r.ip), now);
    if (pressure_.Paused())
        transport_->setReading(slot, false);

    scratch_.assign("STATUS [");
    AppendNumber(scratch_, slot);
    scratch_.append("] Inkomende verbinding (");
    scratch_.append(net::HostForPort(r.ip));
    scratch_ += ':';
    AppendNumber(scratch_, r.port);
    scratch_ += ')';
    AddLog(scratch_);
}

void ServerCore::Winsock1_Close(int Index) {
    if (!IsInUse(Index))
        return; // already released: a second close changes nothing
    Release(Index);
}

// The slot stops waiting to log in (it logged in, or it goes); what it sent
// before that and was ignored is told in one line, without its text.
void ServerCore::LeaveDesk(int slot) {
    const int ignored = desk_.Leave(slot);
    if (ignored <= 0)
        return;
    scratch_.assign("STATUS [");
    AppendNumber(scratch_, slot);
    scratch_.append("] ");
    AppendNumber(scratch_, ignored);
    scratch_.append(ignored == 1 ? " bericht van voor het inloggen genegeerd"
                                 : " berichten van voor het inloggen genegeerd");
    AddLog(scratch_);
}

// Everything of the slot goes; the others hear "USRD".
void ServerCore::Release(int Index) {
    SlotRecord& r = Users[static_cast<std::size_t>(Index)];
    LeaveDesk(Index);
    if (r.loginAccepted) {
        desk_.Unreserve(r.user.Nickname, Index);
        desk_.RemoveUser(AddressKey(r.ip));
    }
    pressure_.Forget(Index);
    Users.Free(Index);
    if (Index == batchSlot_) {
        // Its login lists are still being gathered: they are for nobody now, and
        // the next connection in this slot must not get them.
        batchSlot_ = -1;
        batch_.clear();
    }

    const auto it = std::find(LoggedIn_.begin(), LoggedIn_.end(), static_cast<std::int16_t>(Index));
    if (it != LoggedIn_.end())
        LoggedIn_.erase(it);
    const std::string usrd = msg::BuildUsrd(Index);
    ForEachLoggedIn([&](int s) { SendToSlot(s, usrd, true); });
    emit userListChanged();
    LogSlotLine("STATUS [", Index, "] Verbinding gesloten");
}

void ServerCore::CloseAndRelease(int slot, std::uint32_t generation, bool abort) {
    const SlotRecord& r = Users[static_cast<std::size_t>(slot)];
    if (r.generation != generation || r.user.InUse != kTrue)
        return; // the peer went first, or another connection holds the slot by now
    if (abort)
        transport_->abort(slot);
    else
        transport_->close(slot);
    Release(slot);
}

void ServerCore::ReleaseAll() {
    Users.ForEachInUse([&](int slot) {
        transport_->close(slot);
        Users.Free(slot);
    });
    LoggedIn_.clear();
    overfullQueue_.clear();
    desk_.Clear();
    pressure_.Clear();
}

void ServerCore::ExpireLogins() {
    const std::int64_t timeoutMs = std::int64_t(limits_.loginTimeoutSeconds) * 1000;
    for (const SlotRef ref : desk_.Overdue(Now(), timeoutMs)) {
        if (!Users.InUse(ref.slot) || Users[std::size_t(ref.slot)].generation != ref.generation)
            continue;
        LogSlotLine("STATUS [", ref.slot, "] Niet op tijd ingelogd, verbinding wordt verbroken");
        CloseAndRelease(ref.slot, ref.generation);
    }
}

// ---------------------------------------------------------------- sending

void ServerCore::SendFrame(int slot, const char* data, std::size_t size) {
    SlotRecord& r = Users[static_cast<std::size_t>(slot)];
    if (r.user.InUse != kTrue || r.overfull)
        return; // gone, or about to be dropped: the message is lost without notice
    transport_->send(slot, data, size);
    const std::size_t unsent = transport_->unsentBytes(slot);
    if (unsent > kBoundSendBufferAt && !r.sendBufferBounded) {
        // It falls behind: what the system holds for it stays small from now on.
        r.sendBufferBounded = true;
        transport_->setSendBufferSize(slot, kBoundedSendBuffer);
    }
    // What was handed over in this pass may still leave in one go: only a slot
    // far past its cap goes at once; housekeeping looks again once it had a chance.
    const std::size_t cap = r.user.Acknowledged == kTrue ? kMaxUnsentBytes : kMaxUnsentBeforeLogin;
    if (unsent > 2 * cap)
        MarkOverfull(slot);
}

void ServerCore::MarkOverfull(int slot) {
    SlotRecord& r = Users[static_cast<std::size_t>(slot)];
    if (r.overfull)
        return;
    // Dropped after the current walk over LoggedIn, which must not change under
    // the caller's feet.
    r.overfull = true;
    overfullQueue_.push_back(slot);
    if (!dropScheduled_) {
        dropScheduled_ = true;
        QMetaObject::invokeMethod(this, &ServerCore::DropOverfullSlots, Qt::QueuedConnection);
    }
}

void ServerCore::DropOverfullSlots() {
    dropScheduled_ = false;
    std::vector<int> queue;
    queue.swap(overfullQueue_);
    for (int slot : queue) {
        const SlotRecord& r = Users[static_cast<std::size_t>(slot)];
        if (!r.overfull || r.user.InUse != kTrue)
            continue;
        LogSlotLine("STATUS [", slot, "] Client leest niet meer, verbinding wordt verbroken");
        CloseAndRelease(slot, r.generation, true); // a full buffer is not worth lingering for
    }
}

void ServerCore::SetReadingAll(bool on) {
    Users.ForEachInUse([&](int slot) {
        if (!pressure_.Waiting(slot))
            transport_->setReading(slot, on);
    });
}

// Every slot holding unsent bytes; slots past their own cap are marked on the way.
std::vector<BackPressure::Holder> ServerCore::Holders() {
    std::vector<BackPressure::Holder> holders;
    if (transport_->totalUnsentBytes() == 0)
        return holders;
    Users.ForEachInUse([&](int slot) {
        const SlotRecord& r = Users[static_cast<std::size_t>(slot)];
        const std::size_t unsent = r.overfull ? 0 : transport_->unsentBytes(slot);
        if (unsent == 0)
            return;
        const std::size_t cap = r.user.Acknowledged == kTrue ? kMaxUnsentBytes : kMaxUnsentBeforeLogin;
        if (unsent > cap)
            MarkOverfull(slot);
        else
            holders.push_back({slot, unsent});
    });
    return holders;
}

// Over the budget the server first stops reading, so senders wait in TCP and
// no honest reader is dropped; back-pressure says who goes when the backlog
// would not clear in time.
void ServerCore::EnforceSendBudget() {
    const std::int64_t now = Now();
    const std::vector<BackPressure::Holder> holders = Holders();
    if (pressure_.ShouldPause(transport_->totalUnsentBytes())) {
        pressure_.StartPause(now, holders);
        SetReadingAll(false);
        AddLog(std::string_view("STATUS [0] Te veel onverzonden gegevens, de server leest even niet"));
    }
    if (pressure_.Paused())
        for (int slot : pressure_.ToDrop(now, holders))
            MarkOverfull(slot);
    if (!overfullQueue_.empty())
        DropOverfullSlots(); // not inside a walk here: they can go at once
    if (pressure_.ShouldResume(transport_->totalUnsentBytes())) {
        pressure_.EndPause();
        // What was read before the pause and not handled yet goes on at the next
        // look, after one pass in which everyone else is read: otherwise the one
        // who filled the budget fills it again before anyone else gets a turn.
        Users.ForEachInUse([&](int slot) {
            const SlotRecord& r = Users[static_cast<std::size_t>(slot)];
            if (!r.input.Empty() && !pressure_.Waiting(slot))
                pressure_.Wait({slot, r.generation}, 0);
        });
        SetReadingAll(true);
        AddLog(std::string_view("STATUS [0] Achterstand ingelopen, de server leest weer"));
    }
}

void ServerCore::SendToSlot(int slot, std::string_view text, bool SpecialPacket) {
    if (slot < 0 || slot > kMaxSlot)
        return;
    if (SpecialPacket && logMessages_) {
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

} // namespace server
