// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "ZindleChat - Log": shows the server's log text. The window lives for the whole
// run and only hides when closed. It never touches its widget while hidden, and
// while shown it follows the log at most ten times a second, so a busy server
// does not wait for the screen.
#include <QMainWindow>

class QAction;
class QMenu;
class QPlainTextEdit;
class QTimer;

namespace server {

class LogModel;

class frmLog : public QMainWindow {
    Q_OBJECT
public:
    explicit frmLog(LogModel& model, QWidget* parent = nullptr);

    QPlainTextEdit* txtLog = nullptr;
    QMenu* menuOpties = nullptr;
    QAction* mnuOpties(int index) const;

    // Check mark of "Chat &loggen"; the main window keeps it equal to ChatLog.
    void setChatLogChecked(bool on);

    // Brings txtLog up to date at once and puts the caret at the end.
    void SyncNow();

    static constexpr int kRefreshMs = 100;

signals:
    // "Chat &loggen" was chosen: the owner flips ChatLog and sets the check mark.
    void ChatLogToggleRequested();

public slots:
    // The log text changed; the widget follows on the next refresh.
    void LogChanged();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private slots:
    void mnuOpties_Click(int index);
    void tmrRefresh_Timer();

private:
    bool Form_QueryUnload();
    void Form_Resize();

    void ApplyDelta();

    LogModel& Model;
    QString Mirror; // the model's text as last shown, CR LF kept
    QAction* Items[3] = {};
    QTimer* tmrRefresh = nullptr;
};

} // namespace server
