// SPDX-License-Identifier: GPL-3.0-or-later
// The slot table: accepting connections into slots, the send path with its
// limits, and releasing slots.
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

int ServerCore::TakeFreeSlot() {
    if (inUseCount_ >= kMaxSlot)
        return -1;
    // At least one slot is free, so this ends within one round of the counter.
    for (int tries = 0; tries <= kMaxSlot; ++tries) {
        if (Users[static_cast<std::size_t>(AutoCount_)].user.InUse != kTrue)
            return AutoCount_;
        ++AutoCount_;
        if (AutoCount_ >= kSlotCount)
            AutoCount_ = 1;
    }
    return -1;
}

void ServerCore::Winsock1_ConnectionRequest(qintptr requestID) {
    outOfDescriptors_ = false;
    const std::string ip = ToBytes(transport_->requestPeerIP(requestID));
    const std::string key = net::PerAddressKey(ip);
    const int limit = limits_.maxPendingPerAddress;
    if (limit > 0) {
        const auto it = pendingPerAddress_.find(key);
        if (it != pendingPerAddress_.end() && it->second >= limit) {
            transport_->refuse(requestID);
            return; // not logged: a flood of these must not flood the log too
        }
    }
    const int slot = TakeFreeSlot();
    if (slot < 0) {
        transport_->refuse(requestID);
        AddLog(std::string_view("STATUS [0] Inkomende verbinding geweigerd: alle plaatsen zijn bezet"));
        return;
    }
    if (!transport_->accept(requestID, slot))
        return;
    SlotRecord& r = Users[static_cast<std::size_t>(slot)];
    r.user.InUse = kTrue;
    r.ip = ip;
    r.port = transport_->peerPort(slot);
    r.connectedMs = Now();
    r.floodTokens = limits_.floodBurst;
    r.floodRefilledMs = r.connectedMs;
    ++inUseCount_;
    ++pendingPerAddress_[key];
    if (limits_.loginTimeoutSeconds > 0)
        pendingLogins_.emplace_back(slot, r.generation);
    if (budgetPaused_)
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

// Everything of the slot goes; the others hear "USRD".
void ServerCore::Release(int Index) {
    SlotRecord& r = Users[static_cast<std::size_t>(Index)];
    ForgetPending(Index);
    r.Wipe();
    if (Index == batchSlot_) {
        // Its login lists are still being gathered: they are for nobody now, and
        // the next connection in this slot must not get them.
        batchSlot_ = -1;
        batch_.clear();
    }
    --inUseCount_;

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
    for (int slot = 1; slot <= kMaxSlot && inUseCount_ > 0; ++slot) {
        SlotRecord& r = Users[static_cast<std::size_t>(slot)];
        if (r.user.InUse != kTrue)
            continue;
        transport_->close(slot);
        r.Wipe();
        --inUseCount_;
    }
    LoggedIn_.clear();
    overfullQueue_.clear();
    pendingLogins_.clear();
    pendingFront_ = 0;
    pendingPerAddress_.clear();
    floodPaused_.clear();
    budgetPaused_ = false;
}

// A slot stops waiting to log in: it logged in, or it goes.
void ServerCore::ForgetPending(int slot) {
    SlotRecord& r = Users[static_cast<std::size_t>(slot)];
    if (r.user.InUse != kTrue || r.user.Acknowledged == kTrue)
        return;
    const auto it = pendingPerAddress_.find(net::PerAddressKey(r.ip));
    if (it != pendingPerAddress_.end() && --it->second <= 0)
        pendingPerAddress_.erase(it);
}

void ServerCore::ExpireLogins() {
    if (limits_.loginTimeoutSeconds <= 0) {
        pendingLogins_.clear();
        pendingFront_ = 0;
        return;
    }
    const std::int64_t oldest = Now() - std::int64_t(limits_.loginTimeoutSeconds) * 1000;
    // Accepted in order, so the deadlines are in order too.
    while (pendingFront_ < pendingLogins_.size()) {
        const auto [slot, generation] = pendingLogins_[pendingFront_];
        const SlotRecord& r = Users[static_cast<std::size_t>(slot)];
        const bool waiting =
            r.generation == generation && r.user.InUse == kTrue && r.user.Acknowledged != kTrue;
        if (waiting && r.connectedMs > oldest)
            break;
        ++pendingFront_;
        if (waiting) {
            LogSlotLine("STATUS [", slot, "] Niet op tijd ingelogd, verbinding wordt verbroken");
            CloseAndRelease(slot, generation);
        }
    }
    if (pendingFront_ > 1024 && pendingFront_ * 2 > pendingLogins_.size()) {
        pendingLogins_.erase(pendingLogins_.begin(), pendingLogins_.begin() + std::ptrdiff_t(pendingFront_));
        pendingFront_ = 0;
    }
}

// ---------------------------------------------------------------- sending

void ServerCore::SendFrame(int slot, const char* data, std::size_t size) {
    const SlotRecord& r = Users[static_cast<std::size_t>(slot)];
    if (r.user.InUse != kTrue || r.overfull)
        return; // gone, or about to be dropped: the message is lost without notice
    transport_->send(slot, data, size);
    // What was handed over in this pass may still leave in one go: only a slot
    // far past its cap goes at once; housekeeping looks again once it had a chance.
    const std::size_t cap = r.user.Acknowledged == kTrue ? kMaxUnsentBytes : kMaxUnsentBeforeLogin;
    if (transport_->unsentBytes(slot) > 2 * cap)
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
    for (int slot = 1; slot <= kMaxSlot; ++slot) {
        const SlotRecord& r = Users[static_cast<std::size_t>(slot)];
        if (r.user.InUse == kTrue && !r.floodPaused)
            transport_->setReading(slot, on);
    }
}

// Over the budget the server first stops reading, so senders wait in TCP and
// no honest reader is dropped, until the backlog has halved. Only when it stops
// shrinking for a while do readers that took nothing go, the largest first:
// while it shrinks, a reader that lags is a busy peer, not a gone one.
void ServerCore::EnforceSendBudget() {
    const std::int64_t now = Now();
    // Slots over their own cap go regardless of the budget.
    std::vector<std::pair<std::size_t, int>> stalled;
    const bool anyUnsent = transport_->totalUnsentBytes() > 0;
    for (int slot = 1; anyUnsent && slot <= kMaxSlot; ++slot) {
        const SlotRecord& r = Users[static_cast<std::size_t>(slot)];
        if (r.user.InUse != kTrue || r.overfull)
            continue;
        const std::size_t unsent = transport_->unsentBytes(slot);
        if (unsent == 0)
            continue;
        const std::size_t cap = r.user.Acknowledged == kTrue ? kMaxUnsentBytes : kMaxUnsentBeforeLogin;
        if (unsent > cap)
            MarkOverfull(slot);
        else if (now - transport_->lastProgressMs(slot) >= kStalledMs)
            stalled.emplace_back(unsent, slot);
    }
    const std::size_t budget = limits_.sendBudgetBytes;
    std::size_t total = transport_->totalUnsentBytes();
    if (budget > 0 && total > budget && !budgetPaused_) {
        budgetPaused_ = true;
        pausedLowest_ = total;
        pausedProgressMs_ = now;
        SetReadingAll(false);
        AddLog(std::string_view("STATUS [0] Te veel onverzonden gegevens, de server leest even niet"));
    }
    if (budgetPaused_ && total < pausedLowest_) {
        pausedLowest_ = total;
        pausedProgressMs_ = now;
    }
    if (budgetPaused_ && now - pausedProgressMs_ >= kStalledMs && !stalled.empty()) {
        std::sort(stalled.begin(), stalled.end(), std::greater<>());
        for (const auto& [unsent, slot] : stalled) {
            if (total <= budget / 2)
                break;
            MarkOverfull(slot);
            total -= std::min(total, unsent);
        }
    }
    if (!overfullQueue_.empty())
        DropOverfullSlots(); // not inside a walk here: they can go at once
    if (budgetPaused_ && (budget == 0 || total <= budget / 2)) {
        budgetPaused_ = false;
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
