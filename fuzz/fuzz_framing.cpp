// SPDX-License-Identifier: GPL-3.0-or-later
// The framer under arbitrary streams: a stream fed in random pieces yields the
// same messages, in the same order, as the whole stream cut at once.
#include "FuzzCheck.h"
#include "common/ZindleFraming.h"
#include "common/ZindleMessages.h"

#include <fuzzer/FuzzedDataProvider.h>
#include <string>
#include <vector>

using ZindleWire::MessageBuffer;

namespace {

struct Fed {
    std::vector<std::string> messages;
    std::vector<MessageBuffer::Status> statuses;
};

// Feeds stream in pieces of the given sizes (repeated as needed).
template <typename OnMessage>
Fed FeedInPieces(MessageBuffer& buffer, std::string_view stream, const std::vector<std::size_t>& sizes,
                 OnMessage&& onMessage) {
    Fed fed;
    std::size_t pos = 0, turn = 0;
    while (pos < stream.size()) {
        const std::size_t piece = std::min(sizes[turn++ % sizes.size()], stream.size() - pos);
        fed.statuses.push_back(buffer.Feed(stream.substr(pos, piece), [&](std::string_view m) {
            fed.messages.emplace_back(m);
            return onMessage(fed.messages.size());
        }));
        FUZZ_REQUIRE(buffer.pendingSize() <= ZindleWire::kMaxPendingBytes);
        pos += piece;
    }
    return fed;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    std::vector<std::size_t> sizes(in.ConsumeIntegralInRange(1, 16));
    for (std::size_t& s : sizes)
        s = in.ConsumeIntegralInRange<std::size_t>(0, 300);
    if (sizes == std::vector<std::size_t>(sizes.size(), 0))
        sizes.push_back(1);
    const std::size_t stopAfter = in.ConsumeIntegralInRange<std::size_t>(1, 40);
    const std::size_t smallCap = in.ConsumeIntegralInRange<std::size_t>(1, 64);
    const std::string stream = in.ConsumeRemainingBytesAsString();

    const ZindleWire::SplitResult whole = ZindleWire::SplitMessages(stream);
    std::size_t total = whole.rest.size() + whole.messages.size();
    for (std::string_view m : whole.messages)
        total += m.size();
    FUZZ_REQUIRE(total == stream.size());
    FUZZ_REQUIRE(whole.rest.find('\0') == std::string_view::npos);

    // In pieces, below the cap: exactly the same messages and the same rest.
    MessageBuffer buffer;
    const Fed fed = FeedInPieces(buffer, stream, sizes, [](std::size_t) { return true; });
    FUZZ_REQUIRE(fed.messages.size() == whole.messages.size());
    for (std::size_t i = 0; i < fed.messages.size(); ++i)
        FUZZ_REQUIRE(fed.messages[i] == whole.messages[i]);
    FUZZ_REQUIRE(buffer.pendingSize() == whole.rest.size());
    for (const auto status : fed.statuses)
        FUZZ_REQUIRE(status == MessageBuffer::Status::Ok);

    // A handler that stops the buffer gets the messages up to there and no more
    // from that arrival; nothing of it is kept.
    MessageBuffer stopping;
    std::vector<std::string> upToStop;
    bool stopped = false;
    std::size_t pos = 0, turn = 0;
    while (pos < stream.size() && !stopped) {
        const std::size_t piece = std::min(sizes[turn++ % sizes.size()], stream.size() - pos);
        const auto status = stopping.Feed(stream.substr(pos, piece), [&](std::string_view m) {
            upToStop.emplace_back(m);
            return upToStop.size() < stopAfter;
        });
        if (status == MessageBuffer::Status::Stopped) {
            stopped = true;
            FUZZ_REQUIRE(stopping.pendingSize() == 0);
        }
        pos += piece;
    }
    FUZZ_REQUIRE(stopped == (whole.messages.size() >= stopAfter));
    for (std::size_t i = 0; i < upToStop.size(); ++i)
        FUZZ_REQUIRE(upToStop[i] == whole.messages[i]);

    // With a tiny cap: the kept tail never exceeds it, an overflow keeps nothing,
    // and what came before the first overflow is still exact.
    MessageBuffer capped(smallCap);
    std::vector<std::string> beforeOverflow;
    bool overflowed = false;
    pos = 0, turn = 0;
    while (pos < stream.size()) {
        const std::size_t piece = std::min(sizes[turn++ % sizes.size()], stream.size() - pos);
        const auto status = capped.Feed(stream.substr(pos, piece), [&](std::string_view m) {
            if (!overflowed)
                beforeOverflow.emplace_back(m);
            return true;
        });
        FUZZ_REQUIRE(capped.pendingSize() <= smallCap);
        if (status == MessageBuffer::Status::Overflow) {
            FUZZ_REQUIRE(capped.pendingSize() == 0);
            overflowed = true;
        }
        pos += piece;
    }
    // The first overflow comes at the first message longer than the cap, however
    // the stream was split.
    std::size_t firstLong = 0;
    while (firstLong < whole.messages.size() && whole.messages[firstLong].size() <= smallCap)
        ++firstLong;
    const bool tooLong = firstLong < whole.messages.size() || whole.rest.size() > smallCap;
    FUZZ_REQUIRE(overflowed == tooLong);
    if (overflowed)
        FUZZ_REQUIRE(beforeOverflow.size() == firstLong);
    for (std::size_t i = 0; i < beforeOverflow.size(); ++i)
        FUZZ_REQUIRE(beforeOverflow[i] == whole.messages[i]);

    // Framing one message and cutting it again gives it back; a framed command
    // classifies as a command with the same body.
    for (std::string_view m : whole.messages) {
        const std::string framedChat = ZindleWire::Frame(m, false);
        const ZindleWire::SplitResult chat = ZindleWire::SplitMessages(framedChat);
        FUZZ_REQUIRE(chat.messages.size() == 1 && chat.messages[0] == m && chat.rest.empty());
        const std::string framed = ZindleWire::Frame(m, true);
        const ZindleWire::SplitResult command = ZindleWire::SplitMessages(framed);
        FUZZ_REQUIRE(command.messages.size() == 1 && command.rest.empty());
        const auto classified = ZindleMessages::Classify(command.messages[0]);
        FUZZ_REQUIRE(classified.kind == ZindleMessages::Kind::Command && classified.body == m);
    }
    return 0;
}
