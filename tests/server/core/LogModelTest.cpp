// SPDX-License-Identifier: GPL-3.0-or-later
// The log text: line format, the 20,000-character cut, and what views fetch.
#include "server/core/LogModel.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

using server::LogModel;

std::time_t At(int h, int m, int s) {
    std::tm local{};
    local.tm_year = 126;
    local.tm_mon = 11;
    local.tm_mday = 7;
    local.tm_hour = h;
    local.tm_min = m;
    local.tm_sec = s;
    local.tm_isdst = -1;
    return std::mktime(&local);
}

TEST(LogModelTest, LineFormatAndSink) {
    LogModel log;
    std::vector<std::string> sunk;
    log.setLineSink([&](std::string_view line) { sunk.emplace_back(line); });
    log.setFixedTime(At(14, 3, 59));
    log.AddLog(std::string_view("STATUS [0] Server is gestart!"));
    log.setFixedTime(At(9, 5, 0));
    log.AddLog(QStringLiteral("CHAT - [1] caf\u00e9"));
    EXPECT_EQ(log.Bytes(), "[14:03:59] STATUS [0] Server is gestart!\r\n[09:05:00] CHAT - [1] caf\xe9\r\n");
    EXPECT_EQ(
        log.Text(),
        QStringLiteral("[14:03:59] STATUS [0] Server is gestart!\r\n[09:05:00] CHAT - [1] caf\u00e9\r\n"));
    EXPECT_EQ(sunk, (std::vector<std::string>{"[14:03:59] STATUS [0] Server is gestart!",
                                              "[09:05:00] CHAT - [1] caf\xe9"}));
}

TEST(LogModelTest, ControlBytesBecomeVisibleEscapesSoEveryLineStaysOneLine) {
    LogModel log;
    std::vector<std::string> sunk;
    log.setLineSink([&](std::string_view line) { sunk.emplace_back(line); });
    log.setFixedTime(At(12, 0, 0));
    const std::string forged = "CHAT - [1] a\r\n[12:00:00] STATUS [0] nep\x1b]0;titel\x07\tb\x7f\x85\xe9";
    log.AddLog(forged);
    const std::string expected =
        "[12:00:00] CHAT - [1] a\\x0D\\x0A[12:00:00] STATUS [0] nep\\x1B]0;titel\\x07\tb\\x7F\\x85\xe9";
    EXPECT_EQ(log.Bytes(), expected + "\r\n");
    EXPECT_EQ(sunk, std::vector<std::string>{expected});

    // However many such lines, the text is cut by whole lines and keeps one CR LF each.
    for (int i = 0; i < 2000; ++i)
        log.AddLog(std::string(20, '\n'));
    EXPECT_LE(log.size(), LogModel::kMaxChars);
    const QString text = log.Text();
    EXPECT_EQ(text.count(u'\n'), text.count(QStringLiteral("[12:00:00] ")));
}

// The cut: the first CR LF at or after position (length - 20000), counted from 1.
TEST(LogModelTest, CutsWholeLinesExactly) {
    LogModel log;
    log.setFixedTime(At(12, 0, 0));
    const std::string body(89, 'a'); // 11 + 89 + 2 = 102 characters per line
    for (int i = 0; i < 196; ++i)
        log.AddLog(body);
    EXPECT_EQ(log.size(), 196u * 102);
    log.AddLog(body); // 20094: cut from position 94, i.e. at the end of line 1
    EXPECT_EQ(log.size(), 196u * 102);
    EXPECT_EQ(log.Bytes().substr(0, 1), "[");

    // A line that makes the cut start exactly at a CR: that CR LF is the one used.
    LogModel edge;
    edge.setFixedTime(At(12, 0, 0));
    edge.AddLog(std::string(19986, 'b')); // 11 + 19986 + 2 = 19999
    edge.AddLog(std::string_view("c"));   // 20013: position 13 lies in the first line, so all of it goes
    EXPECT_EQ(edge.Bytes(), "[12:00:00] c\r\n");

    // The text ends under the limit even when one line alone is longer.
    LogModel huge;
    huge.AddLog(std::string(25000, 'd'));
    EXPECT_EQ(huge.size(), 0u);
    huge.AddLog(std::string_view("e"));
    EXPECT_EQ(huge.size(), 14u);

    // Line breaks inside an entry (a message of the day) are shown escaped, so
    // such an entry is one line and is cut whole.
    LogModel motd;
    motd.setFixedTime(At(12, 0, 0));
    motd.AddLog(std::string(19980, 'f') + "\r\nx");
    motd.AddLog(std::string_view("g"));
    EXPECT_EQ(motd.Bytes(), "[12:00:00] g\r\n");
}

TEST(LogModelTest, DeltasFollowTheText) {
    LogModel log;
    log.setFixedTime(At(8, 0, 0));
    QSignalSpy added(&log, &LogModel::linesAdded);
    log.AddLog(std::string_view("een"));
    log.AddLog(std::string_view("twee"));
    EXPECT_EQ(added.count(), 1) << "one signal until the view fetches";
    LogModel::Delta d = log.TakeDelta();
    EXPECT_TRUE(d.reset);
    EXPECT_EQ(d.append, "[08:00:00] een\r\n[08:00:00] twee\r\n");

    log.AddLog(std::string_view("drie"));
    EXPECT_EQ(added.count(), 2);
    d = log.TakeDelta();
    EXPECT_FALSE(d.reset);
    EXPECT_EQ(d.removeFront, 0u);
    EXPECT_EQ(d.append, "[08:00:00] drie\r\n");

    // Grow past the limit: the view is told how much went from the top, and its
    // text then equals the model's.
    for (int i = 0; i < 250; ++i)
        log.AddLog(std::string(80, char('a' + i % 26)));
    QString view = log.TakeDelta().append;
    for (int i = 0; i < 10; ++i)
        log.AddLog(std::string(80, char('A' + i)));
    d = log.TakeDelta();
    ASSERT_FALSE(d.reset);
    view = view.mid(static_cast<qsizetype>(d.removeFront)) + d.append;
    EXPECT_EQ(view, log.Text());

    // Far behind: everything the view had is gone, so it starts over.
    for (int i = 0; i < 400; ++i)
        log.AddLog(std::string(80, 'z'));
    d = log.TakeDelta();
    EXPECT_TRUE(d.reset);
    EXPECT_EQ(d.append, log.Text());
}

} // namespace
