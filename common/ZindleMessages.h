// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The message catalogue of the chat connection: builders return the text that
// follows the two 0xFF bytes (code + payload, unframed); parsers take a payload
// (everything after the code) and never fail on missing fields: those come back
// empty, and a field that must be a number comes back as std::nullopt.
//
//   client -> server: CACK packed(nick, scrambled password, version)
//                     ACKD | AWAY | PRIV packed(to, text) | FILE to#name#port
//   server -> client: SACK | ERRO reason | SINF packed(room, version) | MOTD raw
//                     USRL/USRN/USRC id#nick#away | USRD id
//                     PRIV packed(from, text) | FILE packed(from, name, ip, port)
//                     FERR "Verzoek niet aangekomen#" port
//   chat line:        anything not starting with 0xFF 0xFF
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ZindleMessages {

// Command codes.
inline constexpr std::string_view kCack = "CACK";
inline constexpr std::string_view kAckd = "ACKD";
inline constexpr std::string_view kAway = "AWAY";
inline constexpr std::string_view kPriv = "PRIV";
inline constexpr std::string_view kFile = "FILE";
inline constexpr std::string_view kSack = "SACK";
inline constexpr std::string_view kErro = "ERRO";
inline constexpr std::string_view kSinf = "SINF";
inline constexpr std::string_view kMotd = "MOTD";
inline constexpr std::string_view kUsrl = "USRL";
inline constexpr std::string_view kUsrn = "USRN";
inline constexpr std::string_view kUsrc = "USRC";
inline constexpr std::string_view kUsrd = "USRD";
inline constexpr std::string_view kFerr = "FERR";

// Login refusal reasons.
inline constexpr std::string_view kReasonBanned = "SBAN";
inline constexpr std::string_view kReasonDuplicateIp = "DBIP";
inline constexpr std::string_view kReasonNickname = "NICK";
inline constexpr std::string_view kReasonPassword = "PASS";
inline constexpr std::string_view kReasonVersion = "VERS";

// Chat lines the programs send themselves.
inline constexpr std::string_view kServerWrongProtocol = "Wrong Protocol";
inline constexpr std::string_view kClientWrongProtocol = "Wrong protocol";
inline constexpr std::string_view kPrivateUndeliverable = "Private message niet aangekomen";
inline constexpr std::string_view kFileUndeliverable = "Verzoek niet aangekomen";

// Highest slot number a connection can hold; 0 is the listener.
inline constexpr int kMaxSlot = 32766;

enum class Kind { Chat, Command };

struct Message {
    Kind kind = Kind::Chat;
    std::string_view code;    // four characters (fewer if the message is short); empty for chat
    std::string_view payload; // everything after the code; the whole line for chat
    std::string_view body;    // command: everything after 0xFF 0xFF; chat: the line
};

// Classifies one unframed message (NUL already removed).
Message Classify(std::string_view message);

// --- builders, client to server
std::string BuildCack(std::string_view nickname, std::string_view scrambledPassword,
                      std::string_view versionText);
std::string BuildPriv(int slot, std::string_view text); // also the server's relay
std::string BuildFileOffer(int recipient, std::string_view fileName, std::string_view port);

// --- builders, server to client
std::string BuildErro(std::string_view reason);
std::string BuildSinf(std::string_view roomName, std::string_view serverVersion);
std::string BuildMotd(std::string_view motd);
// code is kUsrl, kUsrn or kUsrc; away is sent as "1" or "0".
std::string BuildUserEntry(std::string_view code, int slot, std::string_view nickname, bool away);
std::string BuildUsrd(int slot);
std::string BuildFileRelay(int sender, std::string_view fileName, std::string_view senderIp,
                           std::string_view port);
std::string BuildFerr(std::string_view port);

// --- parsers
// A slot number: decimal digits only, 0..32766.
std::optional<int> ParseSlotNumber(std::string_view text);
// A user id as the client reads it: a decimal number in 16-bit range (sign allowed).
std::optional<int> ParseUserId(std::string_view text);

struct Cack {
    std::string nickname, scrambledPassword, versionText;
};
Cack ParseCack(std::string_view payload);

struct PrivMessage {
    std::optional<int> slot; // recipient (client to server) or sender (server to client)
    std::string text;
    bool complete = false; // both fields were present
};
PrivMessage ParsePriv(std::string_view payload);

struct FileOffer { // client to server
    std::optional<int> recipient;
    std::string fileName, port;
    bool complete = false;
};
FileOffer ParseFileOffer(std::string_view payload);

struct FileRelay { // server to client
    std::optional<int> sender;
    std::string fileName, senderIp, port;
    bool complete = false;
};
FileRelay ParseFileRelay(std::string_view payload);

struct UserEntry { // USRL, USRN, USRC
    std::optional<int> id;
    std::string nickname;
    bool away = false; // any non-zero number counts as away
};
UserEntry ParseUserEntry(std::string_view payload);

struct ServerInfo {
    std::string roomName, serverVersion;
};
ServerInfo ParseSinf(std::string_view payload);

std::optional<int> ParseUsrd(std::string_view payload);

} // namespace ZindleMessages
