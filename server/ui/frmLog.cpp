// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/ui/frmLog.h"

#include "about/ScreenUnits.h"
#include "server/core/LogModel.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTimer>

namespace server {

frmLog::frmLog(LogModel& model, QWidget* parent) : QMainWindow(parent), Model(model) {
    setObjectName("frmLog");
    setWindowTitle("ZindleChat - Log");

    auto* client = new QWidget(this);
    setCentralWidget(client);
    txtLog = new QPlainTextEdit(client);
    txtLog->setObjectName("txtLog");
    txtLog->setReadOnly(true);
    txtLog->setUndoRedoEnabled(false);
    txtLog->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtLog->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    txtLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    menuOpties = menuBar()->addMenu("Opties");
    menuOpties->setObjectName("menuOpties");
    Items[0] = menuOpties->addAction("Chat &loggen");
    Items[0]->setCheckable(true);
    Items[1] = menuOpties->addSeparator();
    Items[2] = menuOpties->addAction("&Sluiten");
    for (int i = 0; i < 3; ++i) {
        Items[i]->setObjectName(QString("mnuOpties%1").arg(i));
        connect(Items[i], &QAction::triggered, this, [this, i] { mnuOpties_Click(i); });
    }

    tmrRefresh = new QTimer(this);
    tmrRefresh->setSingleShot(true);
    tmrRefresh->setInterval(kRefreshMs);
    connect(tmrRefresh, &QTimer::timeout, this, &frmLog::tmrRefresh_Timer);

    connect(&Model, &LogModel::linesAdded, this, &frmLog::LogChanged);
    resize(ui::TwipsToPixels(9000, this), ui::TwipsToPixels(5400, this));
}

QAction* frmLog::mnuOpties(int index) const {
    return index >= 0 && index < 3 ? Items[index] : nullptr;
}

void frmLog::setChatLogChecked(bool on) {
    Items[0]->setChecked(on);
}

void frmLog::LogChanged() {
    if (isHidden() || tmrRefresh->isActive())
        return;
    tmrRefresh->start();
}

void frmLog::tmrRefresh_Timer() {
    if (!isHidden())
        SyncNow();
}

void frmLog::SyncNow() {
    tmrRefresh->stop();
    ApplyDelta();
    txtLog->moveCursor(QTextCursor::End);
    txtLog->verticalScrollBar()->setValue(txtLog->verticalScrollBar()->maximum());
}

// The widget shows one line break where the log has CR LF. Lines cut from the top
// of the log are removed as whole blocks and new lines appended, so a full log is
// never laid out again from scratch.
void frmLog::ApplyDelta() {
    LogModel::Delta delta = Model.TakeDelta();
    if (!delta.reset && delta.removeFront > std::size_t(Mirror.size()))
        delta = {true, 0, Model.Text()};
    QString appended = delta.append;
    appended.replace("\r\n", "\n");
    if (delta.reset) {
        Mirror = delta.append;
        txtLog->setPlainText(appended);
        return;
    }
    if (delta.removeFront > 0) {
        const qsizetype cutLines = Mirror.left(qsizetype(delta.removeFront)).count("\r\n");
        Mirror.remove(0, qsizetype(delta.removeFront));
        QTextCursor cut(txtLog->document());
        cut.movePosition(QTextCursor::Start);
        cut.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, int(cutLines));
        cut.removeSelectedText();
    }
    if (!delta.append.isEmpty()) {
        Mirror += delta.append;
        QTextCursor end(txtLog->document());
        end.movePosition(QTextCursor::End);
        end.insertText(appended);
    }
}

void frmLog::mnuOpties_Click(int index) {
    if (index == 0) {
        // The owner decides the new value and sets the mark back; undo Qt's own flip.
        Items[0]->setChecked(!Items[0]->isChecked());
        emit ChatLogToggleRequested();
    } else if (index == 2) {
        hide();
    }
}

bool frmLog::Form_QueryUnload() {
    hide();
    return false;
}

void frmLog::closeEvent(QCloseEvent* event) {
    if (!Form_QueryUnload())
        event->ignore();
}

void frmLog::Form_Resize() {
    if (isMinimized())
        return;
    const int minimum = ui::TwipsToPixels(200, this);
    if (frameGeometry().width() < minimum || frameGeometry().height() < minimum)
        return;
    txtLog->setGeometry(0, 0, centralWidget()->width(), centralWidget()->height());
}

void frmLog::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

void frmLog::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    SyncNow();
}

} // namespace server
