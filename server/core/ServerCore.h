// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The chat server without any window: the slot table `Users` over a connection
// table (net::ServerTransport), the ordered list `LoggedIn`, the message
// dispatcher with its login checks and relays, moderation (kick, ban, ban list),
// the room name and message of the day, and the log.
//
//   client -> server: CACK nick#pw#version | ACKD | AWAY | PRIV to#text | FILE to#name#port | chat line
//   server -> client: SACK | ERRO reason | SINF | MOTD | USRL/USRN/USRC | USRD | PRIV | FILE | FERR
//
// Only a logged-in slot takes part: "ACKD" counts only after an accepted "CACK",
// and everything but "CACK" and "ACKD" from a slot that is not logged in is
// ignored. The server bounds what connections may cost: a login deadline, a limit
// on connections waiting per address, a budget for unsent bytes and a line rate
// per user (see ServerLimits).
//
// The main window and the console both drive one ServerCore; they read its
// state and call its operations, and show what its signals announce.
// Everything runs on the thread that owns the object. The core is a facade over
// a few owners, each with its own state: the slot table (SlotTable), the login
// desk (LoginDesk), back-pressure (BackPressure) and the ban list (BanList). Its
// own files carry them out: ServerCore.cpp (log, start and stop, housekeeping),
// CoreConnections.cpp (accept, send path, release, budget), Dispatcher.cpp (one
// message at a time: logins and relays), Moderation.cpp (kick, ban, info),
// RoomSettings.cpp (name, message of the day, password).
#include "server/core/BackPressure.h"
#include "server/core/BanList.h"
#include "server/core/LogModel.h"
#include "server/core/LoginDesk.h"
#include "server/core/ServerLimits.h"
#include "server/core/SlotTable.h"
#include "server/core/TlsSetup.h"
#include "server/core/UserSlot.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace net {
class ServerTransport;
}

namespace server {

class ServerCore : public QObject {
    Q_OBJECT
public:
    static constexpr int kSlotCount = SlotTable::kSlotCount; // records 0..32766; 0 is the listener
    static constexpr int kMaxSlot = SlotTable::kMaxSlot;
    // A slot whose unsent bytes grow past this is dropped as if its peer closed.
    static constexpr std::size_t kMaxUnsentBytes = 4 * 1024 * 1024;
    // The same for a slot that has not logged in.
    static constexpr std::size_t kMaxUnsentBeforeLogin = 64 * 1024;
    // A slot holding this much unsent gets a small system send buffer, so what
    // the system holds for it stays small too.
    static constexpr std::size_t kBoundSendBufferAt = 512 * 1024;
    static constexpr int kBoundedSendBuffer = 64 * 1024;
    // How often deadlines, paused readers and the budget are looked at.
    static constexpr int kHousekeepingMs = 100;

    // Over real sockets.
    explicit ServerCore(QObject* parent = nullptr);
    // Over the given connection table; it becomes a child of the core unless it
    // has a parent already.
    explicit ServerCore(net::ServerTransport* transport, QObject* parent = nullptr);
    ~ServerCore() override;

    // ---- log
    // The one path into the log; "[hh:mm:ss] " is put in front.
    void AddLog(std::string_view text);
    void AddLog(const QString& text);
    LogModel& Log() { return log_; }
    // "STATUS [0] Serverprogramma opgestart!", written once by whoever starts the program.
    void LogProgramStarted();
    // False: the per-message " IN <-" and "UIT ->" lines are left out.
    void setLogMessages(bool on) { logMessages_ = on; }
    bool LogMessages() const { return logMessages_; }

    // ---- limits (take effect at once; connections already paused keep their pause)
    void setLimits(const ServerLimits& limits) { limits_ = limits; }
    const ServerLimits& Limits() const { return limits_; }

    // ---- settings in effect (the window's public state)
    QString ServerNaam() const;
    QString MOTD() const;
    // Committed without sending anything (start-up, server start).
    void setServerNaam(const QString& naam);
    void setMOTD(const QString& motd);
    // The room password as typed; empty means none. Scrambled when the server starts.
    void setRoomPassword(const QString& plain);
    QString RoomPassword() const { return roomPassword_; }
    // The same, in effect at once also while running (a service's reload): the
    // next login is checked against it.
    void ApplyRoomPassword(const QString& plain);
    // The scrambled password in effect while running (empty: none).
    std::string_view Password() const { return password_; }
    bool ChatLog() const { return chatLog_; }
    void setChatLog(bool on);
    bool DubbelIP() const { return dubbelIP_; }
    void setDubbelIP(bool on) { dubbelIP_ = on; }

    // ---- start and stop
    bool Listening() const { return listening_; }
    // IP addresses the next StartServer listens on; empty (the default): every
    // address of both families.
    void setListenAddresses(const QStringList& addresses);
    // Logs "Server wordt gestart..", scrambles the room password and listens on
    // portText (a whole number 1..65535). On failure: false, a readable reason in
    // *error, a STATUS line, and the server stays stopped.
    bool StartServer(const QString& portText, QString* error = nullptr);
    // Closes the listener and every connection without telling the clients.
    void StopServer();
    quint16 ListeningPort() const; // the port actually in use (0 when stopped)

    // ---- message of the day ("&Opslaan"): while running, every logged-in user
    // gets "SINF" if the name changed and "MOTD" if the message changed; then both
    // are committed.
    void SaveMOTD(const QString& naam, const QString& motd);

    // ---- users
    // (slot, nickname) per logged-in user, in order of login.
    std::vector<std::pair<int, QString>> UserList() const;
    // "slot#nickname" per logged-in user, in order of login (the console shows these).
    QStringList UserListEntries() const;
    const std::vector<std::int16_t>& LoggedIn() const { return LoggedIn_; }
    const UserSlot& User(int slot) const { return Users[static_cast<std::size_t>(slot)].user; }
    bool IsInUse(int slot) const;
    bool IsLoggedIn(int slot) const;
    int AutoCount() const { return Users.AutoCount(); }
    int ConnectionCount() const { return Users.Count(); }
    QString RemoteIP(int slot) const; // empty when the slot holds no connection
    quint16 RemotePort(int slot) const;
    // The host name found by LookUpHost(); empty until then or when there is none.
    QString RemoteHost(int slot) const;
    // Looks the slot's address up in the name service (only "Info" needs it) and
    // calls done on context once the answer is in, or after a few seconds.
    void LookUpHost(int slot, QObject* context, std::function<void()> done);
    // The "Info" text: ID, Nickname, Client versie, Away, IP-Adres, Port (and Host),
    // lines joined by CR LF. Empty when the slot holds no connection.
    QString UserInfoText(int slot) const;

    // ---- moderation. False (and nothing done) when the slot holds no connection.
    bool Kick(int slot);
    bool Ban(int slot);
    // The same, taking a user-list entry "slot#nickname" as the console shows it.
    bool KickEntry(const QString& entry);
    bool BanEntry(const QString& entry);
    static int SlotOfEntry(const QString& entry); // -1 when it holds no slot number

    // ---- ban list (in memory only; survives stop and start)
    QStringList BanList() const;
    void RemoveBan(int index);               // "Ban wissen"; out of range: nothing
    int RemoveBanAddress(const QString& ip); // every entry equal to ip; returns how many
    void ClearBans();                        // "Lijst legen"
    void AddBan(const QString& ip);

    // ---- housekeeping: login deadlines, flood pauses, the send budget. Runs on a
    // timer while listening; tests call it after moving the clock.
    void Tick();
    // Monotonic milliseconds; tests put a clock of their own in.
    void setClock(std::function<std::int64_t()> clock) { clock_ = std::move(clock); }
    bool ReadingPausedForBudget() const { return pressure_.Paused(); }

    // ---- TLS (ServerTls.cpp): offered on the chat port beside plaintext
    // The certificate and key files; empty: the server's own, made on first use.
    void setTlsFiles(const QString& certificate, const QString& key) { tls_.setFiles(certificate, key); }
    // Loads the certificate and offers TLS from now on; logs the fingerprint, or why not.
    bool EnableTls(QString* error = nullptr);
    // Loads the certificate files again for new connections (renewed certificate);
    // on failure the one in use stays and the log says why.
    bool ReloadTls(QString* error = nullptr);
    QString TlsFingerprint() const { return tls_.Fingerprint(); } // empty: no TLS
    // Plaintext connections are closed at once.
    void setTlsOnly(bool on) { tlsOnly_ = on; }
    bool TlsOnly() const { return tlsOnly_; }

signals:
    void userListChanged();
    void banListChanged();
    void listeningChanged(bool listening);
    void committedChanged(); // ServerNaam or MOTD changed
    void chatLogChanged(bool on);

private:
    void Wire();
    std::int64_t Now() const;

    // ---- connection events (SlotTable.cpp, Dispatcher.cpp)
    void Winsock1_ConnectionRequest(qintptr requestID);
    void Winsock1_DataArrival(int Index);
    void Winsock1_Close(int Index);
    void OnOutOfDescriptors();

    // ---- send path (CoreConnections.cpp)
    // Frames and sends one message; command messages are logged as "UIT -> [".
    void SendToSlot(int slot, std::string_view text, bool SpecialPacket);
    void SendFrame(int slot, const char* data, std::size_t size);
    // While a batch is open, messages to its slot are collected and leave in one
    // send when it ends (a login answer of thousands of "USRL" lines).
    void BeginBatch(int slot);
    void EndBatch();
    void MarkOverfull(int slot);
    void DropOverfullSlots();
    void EnforceSendBudget();
    std::vector<BackPressure::Holder> Holders();
    void SetReadingAll(bool on);
    void RefusePlaintext(int slot);

    // ---- slots (CoreConnections.cpp)
    bool Admit(const std::string& ip);
    // Ends the slot's connection (gracefully, or at once when abort is set) and
    // runs the close handling, unless the connection of that generation is gone.
    void CloseAndRelease(int slot, std::uint32_t generation, bool abort = false);
    void Release(int slot);
    void ReleaseAll();
    void LeaveDesk(int slot);
    void ExpireLogins();

    // ---- dispatcher (Dispatcher.cpp): no state of its own
    // Handles the slot's messages one at a time while its limits allow.
    void DrainInput(int slot);
    void ResumeWaiting(const std::vector<SlotRef>& refs);
    void HandleMessage(int slot, std::string_view message);
    bool HandleCack(int slot, std::string_view payload);
    void HandleAckd(int slot);
    void HandleAway(int slot);
    void HandlePriv(int slot, std::string_view payload);
    void HandleFile(int slot, std::string_view payload);
    void RelayChat(std::string_view line);
    void Refuse(int slot, std::string_view reason);
    void ResumeFloodPaused();

    // ---- moderation (Moderation.cpp)
    // The nickname the room knows the slot by: empty for one that never logged in.
    std::string NoticeName(int slot) const;
    void SendNotices(int target, const std::string& nickname, bool ban);
    bool IsBanned(const std::string& ip) const { return bans_.IsBanned(ip); }

    void LogSlotLine(std::string_view head, int slot, std::string_view mid, std::string_view tail = {});

    // Calls f(slot) for everyone logged in when the walk starts. Sending may end a
    // connection on the way; the walk goes on over the list as it was.
    template <typename F> void ForEachLoggedIn(F&& f) {
        if (walkDepth_ == walks_.size())
            walks_.emplace_back();
        std::vector<std::int16_t>& snapshot = walks_[walkDepth_++];
        snapshot.assign(LoggedIn_.begin(), LoggedIn_.end());
        for (const std::int16_t s : snapshot)
            f(int(s));
        --walkDepth_;
    }

    LogModel log_;
    net::ServerTransport* transport_ = nullptr; // Winsock1: the listener and every connection
    QTimer housekeeping_;
    std::function<std::int64_t()> clock_;
    ServerLimits limits_;

    SlotTable Users; // index = slot
    LoginDesk desk_;
    BackPressure pressure_{limits_};
    server::BanList bans_; // qualified: BanList() is a member too
    std::vector<std::int16_t> LoggedIn_;
    std::deque<std::vector<std::int16_t>> walks_; // ForEachLoggedIn's snapshots, by depth
    std::size_t walkDepth_ = 0;
    std::vector<int> overfullQueue_;
    bool dropScheduled_ = false;
    bool listening_ = false;
    bool logMessages_ = true;
    bool outOfDescriptors_ = false;

    std::string serverNaam_, motd_, password_;
    QString roomPassword_;
    bool chatLog_ = true;
    bool dubbelIP_ = false;
    TlsSetup tls_;
    bool tlsOnly_ = false;

    std::string scratch_;    // reused for log lines and frames on the relay path
    std::string relayFrame_; // the chat line being relayed, framed
    std::string readBuffer_; // the arrival being worked on
    int batchSlot_ = -1;
    std::string batch_;
};

} // namespace server
