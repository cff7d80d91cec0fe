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
    // A message over the cap is refused even when it arrives whole, and what
    // came before it in the same arrival is still handed out.
    EXPECT_EQ(Collect(buffer, "ok\0"s + std::string(17, 'z') + '\0', &status),
              std::vector<std::string>{"ok"});
    EXPECT_EQ(status, MessageBuffer::Status::Overflow);
    EXPECT_EQ(buffer.pendingSize(), 0u);
}

TEST(Framing, BufferCapHoldsHoweverTheStreamIsSplit) {
    // 16 bytes is the longest message; 17 is refused at every split point.
    for (const std::size_t length : {std::size_t(16), std::size_t(17)}) {
        const std::string stream = "a\0"s + std::string(length, 'm') + "\0b\0"s;
        for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
            MessageBuffer buffer(16);
            MessageBuffer::Status first, second = MessageBuffer::Status::Ok;
            auto messages = Collect(buffer, stream.substr(0, cut), &first);
            if (first == MessageBuffer::Status::Ok) {
                const auto more = Collect(buffer, stream.substr(cut), &second);
                messages.insert(messages.end(), more.begin(), more.end());
            }
            const bool refused =
                first == MessageBuffer::Status::Overflow || second == MessageBuffer::Status::Overflow;
            EXPECT_EQ(refused, length > 16) << "cut " << cut;
            if (length == 16) {
                EXPECT_EQ(messages, (std::vector<std::string>{"a", std::string(16, 'm'), "b"}))
                    << "cut " << cut;
            }
        }
    }
}
