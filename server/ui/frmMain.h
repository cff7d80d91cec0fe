// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The server's main window: room settings, start and stop, the user area (kick,
// ban, info, ban list), the message-of-the-day edit, the log window and the
// notification-area icon. It only wires the operator's actions to ServerCore
// and shows what the core reports.
#include "server/ui/MessageBoxFunction.h"

#include <QMainWindow>
#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPushButton;

namespace server {

class ServerCore;
struct ServerSettings;
class SysTray;
class frmLog;

class frmMain : public QMainWindow {
    Q_OBJECT
public:
    // Outer widths of the window, stopped and running.
    static constexpr int kStoppedWidthTwips = 6945;
    static constexpr int kRunningWidthTwips = 10425;
    static constexpr int kInfoOffsetTwips = 2040; // lblInfo right of Image1's left edge
    static constexpr int kMotdMaxLength = 300;

    // The core outlives the window. Form_Load runs here: settings are read and
    // "Serverprogramma opgestart!" is logged.
    explicit frmMain(ServerCore& core, QWidget* parent = nullptr);
    ~frmMain() override;

    // Replaceable for tests: message boxes, the About window, the notification
    // area's availability and the end of the program.
    MessageBoxFunction MsgBox = ShowMessageBox;
    std::function<void(QWidget* parent, const QString& versionText)> ShowAboutWindow;
    std::function<void()> EndProgram;
    void setTrayAvailabilityCheck(std::function<bool()> check);

    ServerCore& Core() const { return core; }
    frmLog* LogWindow() const { return Log.get(); }
    SysTray* Tray() const { return sysTray; }
    bool Listening() const;
    // The tip of the notification-area icon: "ZindleChat Server v0.2 #0004".
    static QString TrayTip();
    // The two lines of lblInfo: "Server" and " Versie 0.2 build #0004".
    static QString InfoCaption();
    int OuterWidthTwips() const;

    // Settings frame
    QGroupBox* frSettings = nullptr;
    QLineEdit* txtServerNaam = nullptr;
    QPlainTextEdit* txtMOTD = nullptr;
    QPushButton* cmdSaveMOTD = nullptr;
    QPushButton* cmdCancelMOTD = nullptr;
    QLineEdit* txtPort = nullptr;
    QCheckBox* chkPassword = nullptr;
    QLineEdit* txtPassword = nullptr;
    QCheckBox* chkDubbelIP = nullptr;
    QLabel* lblLocalIP = nullptr;
    QLabel* lblLocalHost = nullptr;
    // Buttons and the version area
    QLabel* lblFingerprint = nullptr;
    QPushButton* cmdCopyFingerprint = nullptr;
    QPushButton* cmdServerStart = nullptr;
    QPushButton* cmdLog = nullptr;
    QPushButton* cmdClose = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* lblInfo = nullptr;
    // User area
    QGroupBox* frGebruikersLijst = nullptr;
    QListWidget* lstGebruikers = nullptr;
    QPushButton* cmdKick = nullptr;
    QPushButton* cmdBan = nullptr;
    QPushButton* cmdInfo = nullptr;
    QPushButton* cmdCopyIP = nullptr;
    QPushButton* cmdBanList = nullptr;
    QGroupBox* frBanlijst = nullptr;
    QListWidget* lstBanlist = nullptr;
    QPushButton* cmdBanWis = nullptr;
    QPushButton* cmdBanEmpty = nullptr;
    QPushButton* cmdCloseBanList = nullptr;
    // Pop-up menu of the notification-area icon
    QMenu* menuSysTray = nullptr;
    QAction* mnuSystray(int index) const;

    // The motd box's text with CR LF line breaks, as it is stored and sent.
    QString MotdBoxText() const;
    void setMotdBoxText(const QString& text);

public slots:
    // Reactions to the notification-area icon.
    void SysTrayLButtonDblClick();
    void SysTrayRButtonDown();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    // Start-up, start and stop, shutdown, width
    void Form_Load();
    // TLS (frmMainTls.cpp): the certificate's fingerprint, with a copy button.
    void AddTlsRow(int topTwips);
    void EnableTls(const ServerSettings& settings);
    void cmdCopyFingerprint_Click();
    void cmdServerStart_Click();
    bool Form_QueryUnload(); // false: the close is cancelled
    void Form_Resize();
    void cmdClose_Click();
    void cmdLog_Click();
    void Image1_DblClick();
    void lblInfo_DblClick();
    // User area
    void cmdKick_Click();
    void cmdBan_Click();
    void cmdInfo_Click();
    void cmdCopyIP_Click();
    void cmdBanList_Click();
    void cmdCloseBanList_Click();
    void cmdBanEmpty_Click();
    void cmdBanWis_Click();
    // Room name and message of the day
    void txtServerNaam_Change();
    void txtMOTD_Change();
    void cmdSaveMOTD_Click();
    void cmdCancelMOTD_Click();
    // Notification area
    void mnuSystray_Click(int index);
    // What the core reports
    void ShowListeningState();
    void ShowUserList();
    void ShowBanList();
    void ShowChatLog(bool on);

private:
    void CreateControls();
    void CreateUserArea();
    void CreateTrayMenu();
    void ConnectHandlers();
    void Place(QWidget* w, int left, int top, int width, int height); // twips
    void SetOuterWidthTwips(int twips);
    void PlaceVersionArea();
    void ShowEditButtons(bool visible);
    void GoToTray();
    void SaveSettings();
    // The selected user list entry; empty when nothing is selected.
    int SelectedUserSlot() const; // -1 when no user is selected

    ServerCore& core;
    std::unique_ptr<frmLog> Log;
    SysTray* sysTray = nullptr;
    QAction* SystrayItems[6] = {};
    bool FillingMotd = false;
};

} // namespace server
