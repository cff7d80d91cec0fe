#include "server/ui/frmLog.h"
#include "tests/server/ui/WaitFor.h"

#include <QAction>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <gtest/gtest.h>

using server::frmLog;

namespace {
QString Shown(const QString& model) {
    QString s = model;
    s.replace("\r\n", "\n");
    if (s.endsWith('\n'))
        s.chop(1);
    return s;
}
} // namespace

TEST(frmLog, ClosingHidesAndKeepsTheWindowAndItsCaption) {
    frmLog log([] { return QString("[10:00:00] STATUS [0] x\r\n"); });
    EXPECT_EQ(log.windowTitle(), "ZindleChat - Log");
    log.show();
    EXPECT_FALSE(log.close());
    EXPECT_TRUE(log.isHidden());
    log.show();
    log.mnuOpties(2)->trigger(); // "&Sluiten"
    EXPECT_TRUE(log.isHidden());
    EXPECT_TRUE(log.txtLog->isReadOnly());
}

TEST(frmLog, ChatLogItemAsksTheOwnerAndShowsWhatItIsTold) {
    frmLog log([] { return QString(); });
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

TEST(frmLog, HiddenWindowDoesNoWidgetWorkAndCatchesUpWhenShown) {
    QString model;
    int reads = 0;
    frmLog log([&] {
        ++reads;
        return model;
    });
    for (int i = 0; i < 1000; ++i) {
        model += QString("[12:00:00] CHAT - [1] line %1\r\n").arg(i);
        log.LogChanged();
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(reads, 0);
    EXPECT_TRUE(log.txtLog->toPlainText().isEmpty());
    log.show();
    EXPECT_EQ(log.txtLog->toPlainText(), Shown(model));
    EXPECT_EQ(log.txtLog->textCursor().position(), log.txtLog->document()->characterCount() - 1);
}

TEST(frmLog, ShownWindowCoalescesABurstAndEndsEqualToTheModel) {
    QString model = "[12:00:00] STATUS [0] Serverprogramma opgestart!\r\n";
    int reads = 0;
    frmLog log([&] {
        ++reads;
        return model;
    });
    log.show();
    const int readsAfterShow = reads;
    for (int i = 0; i < 5000; ++i) {
        model += QString("[12:00:01] CHAT - [2] burst %1\r\n").arg(i);
        log.LogChanged();
    }
    ASSERT_TRUE(WaitFor([&] { return log.txtLog->toPlainText() == Shown(model); }));
    EXPECT_LE(reads - readsAfterShow, 3);
}

TEST(frmLog, TextBoxFillsTheClientArea) {
    frmLog log([] { return QString(); });
    log.show();
    log.resize(500, 300);
    ASSERT_TRUE(WaitFor([&] { return log.txtLog->size() == log.centralWidget()->size(); }));
    EXPECT_EQ(log.txtLog->pos(), QPoint(0, 0));
}
