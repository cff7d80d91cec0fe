// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/ZindleFraming.h"

#include <gtest/gtest.h>

using namespace ZindleWire;
using namespace std::string_literals;

namespace {
std::vector<std::string> Collect(MessageBuffer& buffer, std::string_view data,
                                 MessageBuffer::Status* status = nullptr) {
    std::vector<std::string> out;
    const auto s = buffer.Feed(data, [&](std::string_view m) {
        out.emplace_back(m);
        return true;
    });
    if (status)
        *status = s;
    return out;
}
} // namespace

TEST(Framing, SplitsSeveralMessagesAndKeepsTheRest) {
    const std::string buffer = "\xFF\xFF"s
                               "ACKD\0"s
                               "hallo\0"s
                               "\0"s
                               "half"s;
    const SplitResult r = SplitMessages(buffer);
    ASSERT_EQ(r.messages.size(), 3u);
    EXPECT_EQ(r.messages[0], "\xFF\xFF"s
                             "ACKD");
    EXPECT_EQ(r.messages[1], "hallo");
    EXPECT_EQ(r.messages[2], ""); // an empty message is still a message
    EXPECT_EQ(r.rest, "half");
    EXPECT_TRUE(SplitMessages("").messages.empty());
    EXPECT_EQ(SplitMessages("no end").rest, "no end");
}

TEST(Framing, FramesCommandsAndChatLines) {
    EXPECT_EQ(Frame("ACKD", true), "\xFF\xFF"s
                                   "ACKD\0"s);
    EXPECT_EQ(Frame("ERROPASS", true), "\xFF\xFF"s
                                       "ERROPASS\0"s);
    EXPECT_EQ(Frame("gast> hallo\\r\\n", false), "gast> hallo\\r\\n\0"s);
}

TEST(Framing, BufferJoinsAMessageSplitOverArrivals) {
    MessageBuffer buffer;
    EXPECT_TRUE(Collect(buffer, "\xFF\xFF"s
                                "CA")
                    .empty());
    EXPECT_EQ(buffer.pendingSize(), 4u);
    EXPECT_TRUE(Collect(buffer, "CKgast").empty());
    const auto messages = Collect(buffer, "##0.2\0second\0thi"s);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], "\xFF\xFF"s
                           "CACKgast##0.2");
    EXPECT_EQ(messages[1], "second");
    EXPECT_EQ(Collect(buffer, "rd\0"s), std::vector<std::string>{"third"});
    EXPECT_EQ(buffer.pendingSize(), 0u);
}

TEST(Framing, BufferByteByByteGivesTheSameMessages) {
    const std::string stream = "one\0\0\xFF\xFF"s
                               "USRL3#gast#0\0two\0"s;
    MessageBuffer buffer;
    std::vector<std::string> got;
    for (char c : stream)
        for (auto& m : Collect(buffer, std::string_view(&c, 1)))
            got.push_back(m);
    EXPECT_EQ(got, (std::vector<std::string>{"one", "",
                                             "\xFF\xFF"s
                                             "USRL3#gast#0",
                                             "two"}));
}

TEST(Framing, BufferStopsWhenTheOwnerSaysSoAndDropsTheRest) {
    MessageBuffer buffer;
    int seen = 0;
    const auto status = buffer.Feed("a\0b\0c"s, [&](std::string_view) { return ++seen < 1; });
    EXPECT_EQ(status, MessageBuffer::Status::Stopped);
    EXPECT_EQ(seen, 1);
    EXPECT_EQ(buffer.pendingSize(), 0u);
}

TEST(Framing, BufferReportsAnOverlongTail) {
    MessageBuffer buffer(16);
    MessageBuffer::Status status;
    Collect(buffer, std::string(16, 'x'), &status);
    EXPECT_EQ(status, MessageBuffer::Status::Ok);
    Collect(buffer, "y", &status);
    EXPECT_EQ(status, MessageBuffer::Status::Overflow);
    EXPECT_EQ(buffer.pendingSize(), 0u);
}

// Whether a message is too long must not depend on where the stream was cut.
TEST(Framing, CapHoldsForAWholeMessageHoweverItIsSplit) {
    const std::string atCap = "ok\0"s + std::string(16, 'a') + '\0';
    const std::string overCap = "ok\0"s + std::string(17, 'b') + "\0after\0"s;
    for (std::size_t cut = 0; cut <= overCap.size(); ++cut) {
        SCOPED_TRACE(cut);
        MessageBuffer buffer(16);
        MessageBuffer::Status first, second;
        auto got = Collect(buffer, std::string_view(overCap).substr(0, cut), &first);
        const bool overflowed = first == MessageBuffer::Status::Overflow;
        if (!overflowed) {
            const auto more = Collect(buffer, std::string_view(overCap).substr(cut), &second);
            got.insert(got.end(), more.begin(), more.end());
        }
        EXPECT_TRUE(overflowed || second == MessageBuffer::Status::Overflow);
        EXPECT_EQ(got, std::vector<std::string>{"ok"}); // nothing of or after the long one
        EXPECT_EQ(buffer.pendingSize(), 0u);
    }
    for (std::size_t cut = 0; cut <= atCap.size(); ++cut) {
        MessageBuffer buffer(16);
        MessageBuffer::Status first, second;
        auto got = Collect(buffer, std::string_view(atCap).substr(0, cut), &first);
        const auto more = Collect(buffer, std::string_view(atCap).substr(cut), &second);
        got.insert(got.end(), more.begin(), more.end());
        EXPECT_EQ(first, MessageBuffer::Status::Ok);
        EXPECT_EQ(second, MessageBuffer::Status::Ok);
        EXPECT_EQ(got.size(), 2u) << "cut " << cut;
    }
}
