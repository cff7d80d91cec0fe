// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The client's one session with the chat server, on the main window's Winsock1.
// No widgets: the windows listen to the signals and show what they say.
//
//   connect      -> sessionStarted(); one DoEvents(); CACK nick#password#version
//   SACK         -> ACKD; from then on the session dispatch
//   ERRO reason  -> refusal line, close handling (DBIP and unknown reasons: nothing)
//   other first  -> "Wrong protocol", close handling
//   SINF/USRL/USRN/USRC/USRD/MOTD/PRIV/FILE, chat lines -> signals below
//   peer close   -> close handling: list emptied, "**VERBINDING BEËINDIGD**", sessionClosed()
#include "client/core/UserList.h"
#include "common/ZindleFraming.h"

#include <QObject>
#include <QString>
#include <functional>
#include <string>
#include <string_view>

namespace net {
class Winsock;
}

namespace client {

class ClientSession : public QObject {
    Q_OBJECT
public:
    enum class State { NoSession, LoggingIn, InSession, Closed };
    // Why the last connection ended; only a loss nobody asked for is worth a new
    // attempt by itself.
    enum class Ending {
        None,     // still connected, or never was
        Lost,     // the connection broke or the server closed it
        Refused,  // the login was refused, or the server spoke another protocol
        Removed,  // kicked or banned: the notice came last before the close
        OnPurpose // the user's disconnect command
    };

    // Runs on the given socket (the main window's Winsock1), or on one of its own.
    explicit ClientSession(net::Winsock* winsock = nullptr, QObject* parent = nullptr);
    ~ClientSession() override;

    net::Winsock* Winsock1() const { return winsock_; }
    State state() const { return state_; }

    bool Acknowledged() const { return acknowledged_; }
    bool Away() const { return away_; }

    // Set by the connect dialog before it connects. The nickname is kept as it
    // will travel (see WireSafe), so the transcript recognises its own lines.
    QString LocalNickname() const { return localNickname_; }
    void setLocalNickname(const QString& nickname);
    // Already scrambled (ScramblePassword); sent unchanged.
    const std::string& Password() const { return password_; }
    void setPassword(const std::string& scrambled) { password_ = scrambled; }

    // The only way anything is sent to the server. Without an open connection
    // (a private window or the away button during the countdown) nothing is sent.
    void SendData(std::string_view strData, bool SpecialPacket);
    // Sends "AWAY", flips Away and the caption's "AWAY - " prefix.
    void SetAway();

    // The close handling: closes the socket, empties the user list, writes
    // "**VERBINDING BEËINDIGD**" and reports sessionClosed(). Also the user's
    // disconnect command.
    void Winsock1_Close();
    // The user's disconnect command: the close handling, unless the session is
    // over already; either way the ending counts as wanted.
    void EndOnPurpose();
    Ending ending() const { return ending_; }

    const UserList& users() const { return users_; }

    // The main window's caption as the session last set it; the window tells the
    // session about captions it sets itself (the countdown) so that the away
    // prefix works on what is shown.
    const QString& caption() const { return caption_; }
    void setCaption(const QString& caption);

    // Private messages go to the private-window table. The handler returns false
    // when no slot was free; the rest of that arrival is then not handled. It
    // should not wait in a modal dialog: the socket's bytes pile up unread behind it.
    using PrivateMessageHandler = std::function<bool(int senderId, const QString& text)>;
    void setPrivateMessageHandler(PrivateMessageHandler handler) { privateMessage_ = std::move(handler); }

signals:
    // Connection established: stop the connect time-out, hide the connect dialog,
    // show the main window, enable its input line. Comes before the login is sent.
    void sessionStarted();
    // The server accepted the login ("SACK" answered with "ACKD").
    void loggedIn();
    // One line for the main transcript, AddOutput(text, false).
    void output(const QString& text);
    void captionChanged(const QString& caption);
    void awayChanged(bool away); // toolbar button 3 pressed while away
    // A public line arrived while the user is not away: flash the main window.
    void attentionRequested();
    void userAdded(int index, const QString& text, int id);
    void userChanged(int index, const QString& text);
    void userRemoved(int index);
    void usersCleared();
    // A file offer: open a receive window (caption prefix remoteUser + " - ").
    void fileOffer(int remoteUserId, const QString& fileName, const QString& remoteIp,
                   const QString& remotePort, const QString& remoteUser);
    // After the close handling: disable the input line, start the countdown.
    void sessionClosed();

private:
    void Winsock1_Connect();
    void Winsock1_DataArrival();
    // Each returns false when the rest of the arrival must not be handled.
    bool handleMessage(std::string_view message);
    bool loginDispatch(std::string_view message);
    bool sessionDispatch(std::string_view message);
    void addUser(std::string_view payload, bool announce);
    void changeUser(std::string_view payload);
    void removeUser(std::string_view payload);
    bool privateMessage(std::string_view payload);
    void fileOfferArrived(std::string_view payload);
    void protocolError();
    void closeAfterRefusal();
    void peerClosed();

    net::Winsock* winsock_;
    State state_ = State::NoSession;
    bool acknowledged_ = false;
    bool away_ = false;
    QString localNickname_;
    std::string password_;
    QString caption_;
    UserList users_;
    ZindleWire::MessageBuffer buffer_;
    PrivateMessageHandler privateMessage_;
    // The session start lets the event loop run once: a close, or even a new
    // connection, may happen in it.
    bool inSessionStart_ = false;
    unsigned generation_ = 0; // one more for every connection
    Ending ending_ = Ending::None;
    bool removalNoticeLast_ = false; // the last message was a kick or ban notice
};

} // namespace client
