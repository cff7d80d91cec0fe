#include "server/ui/frmLog.h"

#include "about/ScreenUnits.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTimer>

namespace server {

frmLog::frmLog(std::function<QString()> textSource, QWidget* parent)
    : QMainWindow(parent), TextSource(std::move(textSource)) {
    setObjectName("frmLog");
    setWindowTitle("ZindleChat - Log");

    auto* client = new QWidget(this);
    setCentralWidget(client);
    txtLog = new QPlainTextEdit(client);
    txtLog->setObjectName("txtLog");
    txtLog->setReadOnly(true);
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
    const QString text = TextSource ? TextSource() : QString();
    // The model's lines end in CR LF; the widget keeps one break per line.
    QString shown = text;
    shown.replace("\r\n", "\n");
    if (shown.endsWith('\n'))
        shown.chop(1);
    if (txtLog->toPlainText() != shown)
        txtLog->setPlainText(shown);
    txtLog->moveCursor(QTextCursor::End);
    txtLog->verticalScrollBar()->setValue(txtLog->verticalScrollBar()->maximum());
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
