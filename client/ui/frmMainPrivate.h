// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One private conversation: a transcript, an input line and a small toolbar.
// Lines go to the partner as "PRIV" through the main window's session; the
// window keeps its own copy, since the server echoes nothing back.
#include <QString>
#include <QWidget>
#include <array>
#include <memory>

class QAction;
class QLineEdit;
class QPushButton;
class QTextEdit;
class QToolBar;

namespace client {

class TranscriptWriter;
class frmMain;

class frmMainPrivate : public QWidget {
    Q_OBJECT
public:
    explicit frmMainPrivate(frmMain& main, QWidget* parent = nullptr);
    ~frmMainPrivate() override;

    // Binds the window to its partner: Tag, nickname and caption.
    void OpenFor(int userId, const QString& nickname);

    void AddOutput(const QString& strData, bool NoTimestamp = false);
    TranscriptWriter& Transcript() { return *transcript; }

    // The partner's user id as decimal text: the recipient of every line sent here.
    QString Tag;
    QString sRemoteNickname;

    QTextEdit* txtOutput = nullptr;
    QLineEdit* txtInput = nullptr;
    QPushButton* cmdDefault = nullptr;
    QPushButton* cmdClose = nullptr;
    QToolBar* Toolbar1 = nullptr;
    std::array<QAction*, 4> Toolbar1Buttons{}; // by button index 1..3; 2 is a separator

public slots:
    void cmdDefault_Click();
    void cmdClose_Click();
    void Toolbar1_ButtonClick(int index);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void BuildControls();
    void Form_Load();
    void Form_QueryUnload();
    void Form_Resize();
    void UpdateSendButton();

    frmMain& Main;
    std::unique_ptr<TranscriptWriter> transcript;
    bool unloaded = false;
};

} // namespace client
