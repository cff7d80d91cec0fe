// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The chat window: transcript, input line, the users present, a toolbar and two
// pop-up menus. The session itself (ClientSession) runs on Winsock1; this window
// shows what it reports, owns the colours and the private windows, runs the
// reconnect countdown and saves the settings when the program ends.
#include "client/core/ChatColors.h"
#include "client/core/PrivateChats.h"
#include "client/filetransfer/FileTransferDialogs.h"
#include "client/ui/Prompts.h"
#include <QPointer>
#include <QWidget>
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class QAction;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QTextEdit;
class QTimer;
class QToolBar;

namespace net {
class Winsock;
}

namespace client {

class Accessibility;
class ClientSession;
class Comforts;
class TranscriptWriter;
class frmConnect;
class frmMainPrivate;

class frmMain : public QWidget {
    Q_OBJECT
public:
    explicit frmMain(Prompts prompts, QWidget* parent = nullptr);
    ~frmMain() override;

    void setConnectDialog(frmConnect* dialog) { ConnectDialog = dialog; }

    // Session state, kept by the session; the connect dialog sets the first two.
    QString LocalNickname() const;
    void SetLocalNickname(const QString& nickname);
    void SetPassword(const std::string& scrambled);
    bool Away() const;
    // Logged in and connected: what is sent now reaches the server.
    bool InSession() const;
    void SendData(std::string_view strData, bool SpecialPacket);
    void SetAway();
    // Opens a file-send window addressed to this user.
    void FileShare(const QString& sUserID, const QString& sUserName);
    // A private message: into the partner's window, opened minimised when there is
    // none. False when every private slot is held (the message is lost).
    bool ShowPrivateMessage(int userId, const QString& text);

    // The six client-wide colours; setting them re-colours this window's boxes.
    const ChatColors& Colors() const { return colors; }
    void SetColors(const ChatColors& newColors);

    ClientSession* Session = nullptr;
    net::Winsock* Winsock1 = nullptr;
    TranscriptWriter& Transcript() { return *transcript; }
    // History, completion, links, find, unread marker, log and notifications.
    Comforts& Extras() { return *comforts; }
    // Names, keys, text size and announcements for assistive technology.
    client::Accessibility& Access() { return *access; }

    QTextEdit* txtOutput = nullptr;
    QListWidget* lstNicknames = nullptr;
    QLineEdit* txtInput = nullptr;
    QPushButton* cmdDefault = nullptr;
    QToolBar* Toolbar1 = nullptr;
    std::array<QAction*, 6> Toolbar1Buttons{}; // by button index 1..5; 2 and 4 are separators
    QMenu* menuZindleChat = nullptr;
    std::array<QAction*, 6> mnuZindleChat{};
    QMenu* mnuKleurenMenu = nullptr;
    std::array<QAction*, 8> mnuKleuren{};
    QMenu* menuNicknames = nullptr;
    std::array<QAction*, 2> mnuNicknames{};
    QTimer* tmr_Disconnect = nullptr;
    int tmr_CountDown = 0;
    // The countdown's tick, 1000 ms; tests shorten it.
    void SetCountdownTick(int ms);
    int CountdownTick() const { return countdownTick; }

    client::PrivateChats PrivateChats;
    std::array<QPointer<frmMainPrivate>, client::PrivateChats::kSlots + 1> PrivateWindows{};

    // Given to every file window opened from here, when set (tests).
    std::optional<FileTransferDialogs> FileDialogs;

public slots:
    void cmdDefault_Click();
    void lstNicknames_DblClick();
    void Toolbar1_ButtonClick(int index);
    void mnuZindleChat_Click(int index);
    void mnuKleuren_Click(int index);
    void mnuNicknames_Click(int index);
    void tmr_Disconnect_Timer();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void Session_Started();
    void Session_Closed();
    void Session_FileOffer(int remoteUserId, const QString& fileName, const QString& remoteIp,
                           const QString& remotePort, const QString& remoteUser);
    void lstNicknames_Click();

private:
    void BuildControls();
    void BuildMenus();
    void ConnectSession();
    void Form_Load();
    void Form_QueryUnload();
    void Form_Resize();
    void ApplyBoxColors();
    void UpdateSendButton();
    bool txtInput_KeyDown(QKeyEvent* event);
    bool txtOutput_KeyPress(QKeyEvent* event);
    void lstNicknames_MouseUp(QMouseEvent* event);
    // The selected entry's user id and text; false without a selection.
    bool SelectedUser(int* id, QString* text) const;
    frmMainPrivate* OpenPrivateWindow(int slot, int userId, bool activate);
    void ShowTooManyChats();
    void ClosePrivateWindows();

    Prompts prompts;
    frmConnect* ConnectDialog = nullptr;
    ChatColors colors;
    std::unique_ptr<TranscriptWriter> transcript;
    std::unique_ptr<Comforts> comforts;
    client::Accessibility* access = nullptr;
    bool unloading = false;
    int countdownTick = 1000;
    QPointer<QWidget> tooManyBox;
};

} // namespace client
