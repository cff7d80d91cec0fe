// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One simulated chat user, without its socket: it is fed the bytes that arrive
// and appends what it has to say to an output buffer.
//
//   connect -> CACK            SACK -> ACKD          USRL about itself -> Ready
//   ERRO, "Wrong Protocol" or any chat line before SACK -> Failed
//   Ready: relayed chat lines are counted; its own lines coming back free the window.
#include "bench/server/LatencyHistogram.h"
#include "bench/server/LoadLine.h"
#include "common/ZindleFraming.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace loadgen {

// Counters all clients of one run add to.
struct RunTally {
    std::uint64_t deliveries = 0;     // relayed lines received by someone other than their sender
    std::uint64_t echoes = 0;         // own lines that came back
    std::uint64_t outOfOrder = 0;     // a line whose seq is not the next one expected from its sender
    std::uint64_t foreignLines = 0;   // chat lines that are not ours (server notices)
    std::uint64_t commands = 0;       // command messages received after login (USRN, USRD, ...)
    std::uint64_t lastDeliveryNs = 0; // receipt time of the newest delivery
    LatencyHistogram latency;         // send -> receipt at every receiver but the sender
};

class LoadClient {
public:
    enum class Phase { Connecting, AwaitSack, AwaitOwnEntry, Ready, Failed };

    // senders: the number of load clients in the run, for the per-sender order check.
    LoadClient(std::uint32_t index, std::uint32_t senders);

    std::uint32_t index() const { return index_; }
    Phase phase() const { return phase_; }
    const std::string& failure() const { return failure_; }
    int slot() const { return slot_; }

    // The connection is up: the client speaks first.
    void OnConnected(std::string& out);
    // Bytes arrived at nowNs. Replies go to out.
    void OnData(std::string_view data, std::uint64_t nowNs, std::string& out, RunTally& tally);
    // The server closed the connection.
    void OnClosed();

    // Chat lines sent and not yet seen back.
    std::uint64_t inFlight() const { return sent_ - echoed_; }
    std::uint64_t sent() const { return sent_; }
    void SendLine(std::uint64_t stampNs, std::string_view filler, std::string& out);

private:
    void HandleMessage(std::string_view message, std::uint64_t nowNs, std::string& out, RunTally& tally);
    void HandleLoginCommand(std::string_view code, std::string_view payload, std::string& out);
    void HandleChat(std::string_view line, std::uint64_t nowNs, RunTally& tally);
    void Fail(std::string reason);

    std::uint32_t index_;
    std::string nickname_;
    Phase phase_ = Phase::Connecting;
    std::string failure_;
    int slot_ = 0;
    std::uint64_t sent_ = 0, echoed_ = 0;
    // Next seq expected from each sender; sized on the first chat line, so that a
    // login-only run of thousands of clients does not pay for it.
    std::vector<std::uint32_t> nextSeqFrom_;
    std::uint32_t senders_;
    ZindleWire::MessageBuffer buffer_;
};

} // namespace loadgen
