// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/ZindleMessages.h"

#include "common/ZindleDivideCombine.h"
#include "common/ZindleFraming.h"

#include <charconv>

namespace ZindleMessages {
namespace {

using ZindleDivideCombine::Combine;
using ZindleDivideCombine::Divide;
using ZindleDivideCombine::Fields;

std::string Field(const Fields& fields, std::size_t number) {
    return number <= fields.size() ? fields[number - 1] : std::string();
}

std::string WithCode(std::string_view code, std::string_view payload) {
    std::string out;
    out.reserve(code.size() + payload.size());
    out.append(code);
    out.append(payload);
    return out;
}

// Leading and trailing spaces are tolerated around a number, as a person
// typing one might leave them; anything else makes it no number at all.
std::optional<long> ParseInteger(std::string_view text, bool allowSign) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    if (text.empty() || text.size() > 12)
        return std::nullopt;
    if (!allowSign && (text.front() == '-' || text.front() == '+'))
        return std::nullopt;
    if (text.front() == '+')
        text.remove_prefix(1);
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace

Message Classify(std::string_view message) {
    Message m;
    if (message.substr(0, 2) == ZindleWire::kCommandPrefix) {
        m.kind = Kind::Command;
        m.body = message.substr(2);
        m.code = m.body.substr(0, 4);
        m.payload = m.body.substr(m.code.size());
    } else {
        m.kind = Kind::Chat;
        m.body = message;
        m.payload = message;
    }
    return m;
}

std::string BuildCack(std::string_view nickname, std::string_view scrambledPassword,
                      std::string_view versionText) {
    return WithCode(
        kCack, Combine({std::string(nickname), std::string(scrambledPassword), std::string(versionText)}));
}

std::string BuildPriv(int slot, std::string_view text) {
    return WithCode(kPriv, Combine({std::to_string(slot), std::string(text)}));
}

// Joined with "#" as it stands: the receiver still reads it with Divide.
std::string BuildFileOffer(int recipient, std::string_view fileName, std::string_view port) {
    std::string out = WithCode(kFile, std::to_string(recipient));
    out += '#';
    out.append(fileName);
    out += '#';
    out.append(port);
    return out;
}

std::string BuildErro(std::string_view reason) {
    return WithCode(kErro, reason);
}

std::string BuildSinf(std::string_view roomName, std::string_view serverVersion) {
    return WithCode(kSinf, Combine({std::string(roomName), std::string(serverVersion)}));
}

std::string BuildMotd(std::string_view motd) {
    return WithCode(kMotd, motd);
}

std::string BuildUserEntry(std::string_view code, int slot, std::string_view nickname, bool away) {
    std::string out = WithCode(code, std::to_string(slot));
    out += '#';
    out.append(nickname);
    out += '#';
    out += away ? '1' : '0';
    return out;
}

std::string BuildUsrd(int slot) {
    return WithCode(kUsrd, std::to_string(slot));
}

std::string BuildFileRelay(int sender, std::string_view fileName, std::string_view senderIp,
                           std::string_view port) {
    return WithCode(kFile, Combine({std::to_string(sender), std::string(fileName), std::string(senderIp),
                                    std::string(port)}));
}

std::string BuildFerr(std::string_view port) {
    std::string out = WithCode(kFerr, kFileUndeliverable);
    out += '#';
    out.append(port);
    return out;
}

std::optional<int> ParseSlotNumber(std::string_view text) {
    const auto value = ParseInteger(text, false);
    if (!value || *value < 0 || *value > kMaxSlot)
        return std::nullopt;
    return static_cast<int>(*value);
}

std::optional<int> ParseUserId(std::string_view text) {
    const auto value = ParseInteger(text, true);
    if (!value || *value < -32768 || *value > 32767)
        return std::nullopt;
    return static_cast<int>(*value);
}

Cack ParseCack(std::string_view payload) {
    const Fields f = Divide(payload);
    return {Field(f, 1), Field(f, 2), Field(f, 3)};
}

PrivMessage ParsePriv(std::string_view payload) {
    const Fields f = Divide(payload);
    PrivMessage m;
    m.slot = ParseSlotNumber(Field(f, 1));
    m.text = Field(f, 2);
    m.complete = f.size() >= 2;
    return m;
}

FileOffer ParseFileOffer(std::string_view payload) {
    const Fields f = Divide(payload);
    FileOffer o;
    o.recipient = ParseSlotNumber(Field(f, 1));
    o.fileName = Field(f, 2);
    o.port = Field(f, 3);
    o.complete = f.size() >= 3;
    return o;
}

FileRelay ParseFileRelay(std::string_view payload) {
    const Fields f = Divide(payload);
    FileRelay r;
    r.sender = ParseSlotNumber(Field(f, 1));
    r.fileName = Field(f, 2);
    r.senderIp = Field(f, 3);
    r.port = Field(f, 4);
    r.complete = f.size() >= 4;
    return r;
}

UserEntry ParseUserEntry(std::string_view payload) {
    const Fields f = Divide(payload);
    UserEntry e;
    e.id = ParseUserId(Field(f, 1));
    e.nickname = Field(f, 2);
    const auto flag = ParseInteger(Field(f, 3), true);
    e.away = flag && *flag != 0;
    return e;
}

ServerInfo ParseSinf(std::string_view payload) {
    const Fields f = Divide(payload);
    return {Field(f, 1), Field(f, 2)};
}

std::optional<int> ParseUsrd(std::string_view payload) {
    return ParseUserId(Field(Divide(payload), 1));
}

} // namespace ZindleMessages
