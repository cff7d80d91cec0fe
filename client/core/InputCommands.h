// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a line typed in an input box becomes.
//
// Main window (public chat line, Escape()d):    nick> text\r\n | * nick action\r\n
// Private window ("PRIV" + Combine(id, text)):  text\r\n (the receiver adds the nick)
// "/away" (any case, anything after it) toggles away; other "/..." does nothing.
#include <QString>
#include <string>

namespace client {

struct InputCommand {
    enum class Kind { Nothing, SetAway, Send };
    Kind kind = Kind::Nothing;
    std::string strData; // what SendData gets (code included for a command)
    bool SpecialPacket = false;
    QString echo; // the private window's own copy of the line; "" otherwise
};

// The main window's send button. Nothing is echoed: the server relays the line
// back to its sender.
InputCommand PublicInput(const QString& input, const QString& localNickname);

// A private window's send button; partnerTag is the partner's user id as text.
InputCommand PrivateInput(const QString& input, const QString& localNickname, const QString& partnerTag);

// The line a private window shows for a message from its partner; the text
// carries its own CR LF.
QString IncomingPrivateLine(const QString& partnerNickname, const QString& text);

} // namespace client
