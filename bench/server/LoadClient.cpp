// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/server/LoadClient.h"

#include "common/ZindleMessages.h"
#include "common/ZindleVersion.h"

namespace loadgen {

namespace msg = ZindleMessages;

LoadClient::LoadClient(std::uint32_t index, std::uint32_t senders)
    : index_(index), nickname_(Nickname(index)), senders_(senders) {}

void LoadClient::OnConnected(std::string& out) {
    phase_ = Phase::AwaitSack;
    ZindleWire::AppendFrame(out, msg::BuildCack(nickname_, "", ZindleVersion::ClientVersionText()), true);
}

void LoadClient::OnClosed() {
    if (phase_ != Phase::Failed)
        Fail("verbinding gesloten door de server");
}

void LoadClient::Fail(std::string reason) {
    phase_ = Phase::Failed;
    failure_ = std::move(reason);
}

void LoadClient::SendLine(std::uint64_t stampNs, std::string_view filler, std::string& out) {
    AppendChatLine(out, LineStamp{index_, sent_, stampNs}, filler);
    ++sent_;
}

void LoadClient::OnData(std::string_view data, std::uint64_t nowNs, std::string& out, RunTally& tally) {
    if (phase_ == Phase::Failed)
        return;
    const auto status = buffer_.Feed(data, [&](std::string_view message) {
        HandleMessage(message, nowNs, out, tally);
        return phase_ != Phase::Failed;
    });
    if (status == ZindleWire::MessageBuffer::Status::Overflow)
        Fail("bericht zonder NUL langer dan 64 KiB");
}

void LoadClient::HandleMessage(std::string_view message, std::uint64_t nowNs, std::string& out,
                               RunTally& tally) {
    const msg::Message m = msg::Classify(message);
    if (m.kind == msg::Kind::Chat) {
        if (phase_ == Phase::Ready)
            HandleChat(m.payload, nowNs, tally);
        else if (phase_ == Phase::AwaitSack)
            Fail("regel voor SACK: " + std::string(m.payload.substr(0, 80)));
        // Chat lines between SACK and our own USRL are other clients' traffic.
        return;
    }
    if (phase_ == Phase::Ready) {
        ++tally.commands;
        return;
    }
    HandleLoginCommand(m.code, m.payload, out);
}

void LoadClient::HandleLoginCommand(std::string_view code, std::string_view payload, std::string& out) {
    if (phase_ == Phase::AwaitSack) {
        if (code == msg::kSack) {
            phase_ = Phase::AwaitOwnEntry;
            ZindleWire::AppendFrame(out, msg::kAckd, true);
        } else if (code == msg::kErro) {
            Fail("login geweigerd: ERRO" + std::string(payload));
        } else {
            Fail("onverwacht voor SACK: " + std::string(code));
        }
        return;
    }
    // The newcomer's own USRL comes last in the list; once it is here the server
    // has us on its list of logged-in users and relays to us.
    if (code == msg::kUsrl) {
        const msg::UserEntry entry = msg::ParseUserEntry(payload);
        if (entry.nickname == nickname_ && entry.id) {
            slot_ = *entry.id;
            phase_ = Phase::Ready;
        }
    }
}

void LoadClient::HandleChat(std::string_view line, std::uint64_t nowNs, RunTally& tally) {
    const auto stamp = ParseChatLine(line);
    if (!stamp || stamp->sender >= senders_) {
        ++tally.foreignLines;
        return;
    }
    if (nextSeqFrom_.empty())
        nextSeqFrom_.assign(senders_, 0);
    std::uint32_t& expected = nextSeqFrom_[stamp->sender];
    if (stamp->seq != expected)
        ++tally.outOfOrder;
    expected = static_cast<std::uint32_t>(stamp->seq + 1);
    if (stamp->sender == index_) {
        ++echoed_;
        ++tally.echoes;
        return;
    }
    ++tally.deliveries;
    tally.lastDeliveryNs = nowNs;
    tally.latency.Record(nowNs > stamp->sentNs ? nowNs - stamp->sentNs : 0);
}

} // namespace loadgen
