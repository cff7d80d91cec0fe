// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The chat server without any window: the listening socket, the slot table
// `Users` with one socket per slot in `Winsock1`, the ordered list `LoggedIn`,
// the message dispatcher with its login checks and relays, moderation (kick,
// ban, ban list), the room name and message of the day, and the log.
//
//   client -> server: CACK nick#pw#version | ACKD | AWAY | PRIV to#text | FILE to#name#port | chat line
//   server -> client: SACK | ERRO reason | SINF | MOTD | USRL/USRN/USRC | USRD | PRIV | FILE | FERR
//
// The main window and the console both drive one ServerCore; they read its
// state and call its operations, and show what its signals announce.
// Everything runs on the thread that owns the object.
#include "server/core/LogModel.h"
#include "server/core/UserSlot.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace net {
class Winsock;
}

namespace server {

class ServerCore : public QObject {
    Q_OBJECT
public:
    static constexpr int kSlotCount = 32767; // records 0..32766; 0 is the listener
    static constexpr int kMaxSlot = 32766;
    // A slot whose unsent bytes grow past this is dropped as if its peer closed.
    static constexpr std::int64_t kMaxUnsentBytes = 4 * 1024 * 1024;

    explicit ServerCore(QObject* parent = nullptr);
    ~ServerCore() override;

    // ---- log
    // The one path into the log; "[hh:mm:ss] " is put in front.
    void AddLog(std::string_view text);
    void AddLog(const QString& text);
    LogModel& Log() { return log_; }
    // "STATUS [0] Serverprogramma opgestart!", written once by whoever starts the program.
    void LogProgramStarted();

    // ---- settings in effect (the window's public state)
    QString ServerNaam() const;
    QString MOTD() const;
    // Committed without sending anything (start-up, server start).
    void setServerNaam(const QString& naam);
    void setMOTD(const QString& motd);
    // The room password as typed; empty means none. Scrambled when the server starts.
    void setRoomPassword(const QString& plain);
    QString RoomPassword() const { return roomPassword_; }
    // The scrambled password in effect while running (empty: none).
    std::string_view Password() const { return password_; }
    bool ChatLog() const { return chatLog_; }
    void setChatLog(bool on);
    bool DubbelIP() const { return dubbelIP_; }
    void setDubbelIP(bool on) { dubbelIP_ = on; }

    // ---- start and stop
    bool Listening() const { return listening_; }
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
    // "slot#nickname" per logged-in user, in order of login.
    QStringList UserListEntries() const;
    const std::vector<std::int16_t>& LoggedIn() const { return LoggedIn_; }
    const UserSlot& User(int slot) const { return Users[static_cast<std::size_t>(slot)]; }
    bool IsInUse(int slot) const;
    int AutoCount() const { return AutoCount_; }
    int ConnectionCount() const { return inUseCount_; }
    QString RemoteIP(int slot) const; // empty when the slot holds no connection
    quint16 RemotePort(int slot) const;
    QString RemoteHost(int slot) const;
    // The "Info" text: ID, Nickname, Client versie, Away, IP-Adres, Port (and Host),
    // lines joined by CR LF. Empty when the slot holds no connection.
    QString UserInfoText(int slot) const;

    // ---- moderation. False (and nothing done) when the slot holds no connection.
    bool Kick(int slot);
    bool Ban(int slot);
    // The same, taking a user-list entry "slot#nickname" as the window shows it.
    bool KickEntry(const QString& entry);
    bool BanEntry(const QString& entry);
    static int SlotOfEntry(const QString& entry); // -1 when it holds no slot number

    // ---- ban list (in memory only; survives stop and start)
    QStringList BanList() const;
    void RemoveBan(int index);               // "Ban wissen"; out of range: nothing
    int RemoveBanAddress(const QString& ip); // every entry equal to ip; returns how many
    void ClearBans();                        // "Lijst legen"
    void AddBan(const QString& ip);

signals:
    void userListChanged();
    void banListChanged();
    void listeningChanged(bool listening);
    void committedChanged(); // ServerNaam or MOTD changed
    void chatLogChanged(bool on);

private:
    // Socket events, by slot.
    void Winsock1_ConnectionRequest(qintptr requestID);
    void Winsock1_DataArrival(int Index);
    void Winsock1_Close(int Index);

    // Frames and sends one message; command messages are logged as "UIT -> [".
    void SendToSlot(int slot, std::string_view text, bool SpecialPacket);
    void SendFrame(int slot, const char* data, std::size_t size);
    // While a batch is open, messages to its slot are collected and leave in one
    // write when it ends (a login answer of thousands of "USRL" lines).
    void BeginBatch(int slot);
    void EndBatch();

    bool HandleMessage(int slot, std::string_view message); // false: stop this arrival
    bool HandleCack(int slot, std::string_view payload);
    void HandleAckd(int slot);
    void HandleAway(int slot);
    void HandlePriv(int slot, std::string_view payload);
    void HandleFile(int slot, std::string_view payload);
    void RelayChat(std::string_view line);

    void Refuse(int slot, std::string_view reason);
    // Closes the slot's socket and runs the close handling, unless the
    // connection of that generation is already gone.
    void CloseAndRelease(int slot, std::uint32_t generation);
    void SendNotices(int target, const std::string& nickname, bool ban);
    void DropOverfullSlots();
    void ReleaseAll();
    int TakeFreeSlot();
    void LogSlotLine(std::string_view head, int slot, std::string_view mid, std::string_view tail = {});

    LogModel log_;
    net::Winsock* listener_ = nullptr; // Winsock1(0)

    std::vector<UserSlot> Users;
    std::vector<net::Winsock*> Winsock1;    // index = slot; nullptr while free
    std::vector<std::string> remoteIp_;     // cached at accept
    std::vector<std::uint32_t> generation_; // bumped at every release
    std::vector<std::uint8_t> inArrival_;   // data arrival running for this slot
    std::vector<std::uint8_t> overfull_;    // unsent bytes over the cap; dropped soon
    std::vector<std::string> pendingTail_;  // unterminated tail kept between arrivals
    std::vector<std::int16_t> LoggedIn_;
    std::vector<int> overfullQueue_;
    bool dropScheduled_ = false;
    int AutoCount_ = 1;
    int inUseCount_ = 0;
    bool listening_ = false;

    std::string serverNaam_, motd_, password_;
    QString roomPassword_;
    bool chatLog_ = true;
    bool dubbelIP_ = false;
    std::vector<std::string> banList_;

    std::string scratch_;    // reused for log lines and frames on the relay path
    std::string relayFrame_; // the chat line being relayed, framed
    int batchSlot_ = -1;
    std::string batch_;
};

} // namespace server
