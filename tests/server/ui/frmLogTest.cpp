// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/ui/frmLog.h"
#include "server/core/LogModel.h"
#include "tests/server/ui/WaitFor.h"

#include <QAction>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using server::frmLog;
using server::LogModel;

namespace {
// What the text box must show for a model text: one line break per CR LF.
QString Shown(const LogModel& model) {
    QString s = model.Text();
    s.replace("\r\n", "\n");
    return s;
}
} // namespace

TEST(frmLog, ClosingHidesAndKeepsTheWindow) {
    LogModel model;
    frmLog log(model);
    EXPECT_EQ(log.windowTitle(), "ZindleChat - Log");
    EXPECT_TRUE(log.txtLog->isReadOnly());
    log.show();
    EXPECT_FALSE(log.close());
    EXPECT_TRUE(log.isHidden());
    log.show();
    log.mnuOpties(2)->trigger(); // "&Sluiten"
    EXPECT_TRUE(log.isHidden());
}

TEST(frmLog, ChatLogItemAsksTheOwnerAndShowsWhatItIsTold) {
    LogModel model;
    frmLog log(model);
    EXPECT_EQ(log.mnuOpties(0)->text(), "Chat &loggen");
    EXPECT_TRUE(log.mnuOpties(1)->isSeparator());
    EXPECT_EQ(log.mnuOpties(2)->text(), "&Sluiten");
    log.setChatLogChecked(true);
    QSignalSpy asked(&log, &frmLog::ChatLogToggleRequested);
    log.mnuOpties(0)->trigger();
    EXPECT_EQ(asked.count(), 1);
    // The mark changes only when the owner sets it.
    EXPECT_TRUE(log.mnuOpties(0)->isChecked());
    log.setChatLogChecked(false);
    EXPECT_FALSE(log.mnuOpties(0)->isChecked());
}

TEST(frmLog, HiddenWindowLeavesTheWidgetAloneAndCatchesUpWhenShown) {
    LogModel model;
    frmLog log(model);
    for (int i = 0; i < 1000; ++i)
        model.AddLog(QString("CHAT - [1] line %1").arg(i));
    QTest::qWait(2 * frmLog::kRefreshMs);
    EXPECT_TRUE(log.txtLog->toPlainText().isEmpty());
    log.show();
    EXPECT_EQ(log.txtLog->toPlainText(), Shown(model));
    EXPECT_EQ(log.txtLog->textCursor().position(), log.txtLog->document()->characterCount() - 1);
}

// Lines cut from the top of a full log leave the widget as whole lines, while
// the window keeps up in small steps or falls behind by more than it shows.
TEST(frmLog, ShownWindowFollowsBurstsAndTheCutExactly) {
    LogModel model;
    model.AddLog(std::string_view("STATUS [0] Serverprogramma opgestart!"));
    frmLog log(model);
    log.show();
    for (int batch = 0; batch < 40; ++batch) {
        for (int i = 0; i < 60; ++i)
            model.AddLog(QString("CHAT - [2] batch %1 line %2").arg(batch).arg(i));
        QTest::qWait(frmLog::kRefreshMs / 4);
    }
    ASSERT_TRUE(WaitFor([&] { return log.txtLog->toPlainText() == Shown(model); }));
    EXPECT_LE(model.size(), LogModel::kMaxChars);
    EXPECT_TRUE(log.txtLog->toPlainText().startsWith('['));

    for (int i = 0; i < 5000; ++i)
        model.AddLog(QString("CHAT - [3] burst %1").arg(i));
    ASSERT_TRUE(WaitFor([&] { return log.txtLog->toPlainText() == Shown(model); }));
}

// Line breaks and escape sequences inside logged text (a chat line, a message of
// the day) arrive as visible escapes, so the window's lines stay the model's.
TEST(frmLog, ControlBytesInLinesKeepTheWindowInStepWithTheModel) {
    LogModel model;
    frmLog log(model);
    log.show();
    for (int i = 0; i < 2000; ++i)
        model.AddLog(std::string_view("CHAT - [1] a\r\nb\x1b[2Jc\n\n"));
    ASSERT_TRUE(WaitFor([&] { return log.txtLog->toPlainText() == Shown(model); }));
    EXPECT_EQ(log.txtLog->document()->blockCount(), model.Text().count(QStringLiteral("\r\n")) + 1);
    EXPECT_LE(std::size_t(log.txtLog->toPlainText().size()), LogModel::kMaxChars);
}

TEST(frmLog, TextBoxFillsTheClientArea) {
    LogModel model;
    frmLog log(model);
    log.show();
    log.resize(500, 300);
    ASSERT_TRUE(WaitFor([&] { return log.txtLog->size() == log.centralWidget()->size(); }));
    EXPECT_EQ(log.txtLog->pos(), QPoint(0, 0));
}
