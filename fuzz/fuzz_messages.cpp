// SPDX-License-Identifier: GPL-3.0-or-later
// Every parser of the message catalogue under arbitrary payloads: nothing
// crashes, numbers stay in their ranges, and what a builder makes its parser
// reads back.
#include "FuzzCheck.h"
#include "common/ZindleDivideCombine.h"
#include "common/ZindleEncrypt.h"
#include "common/ZindleMessages.h"

#include <fuzzer/FuzzedDataProvider.h>
#include <string>

namespace zm = ZindleMessages;

namespace {

bool InSlotRange(const std::optional<int>& n) {
    return !n || (*n >= 0 && *n <= zm::kMaxSlot);
}
bool InUserIdRange(const std::optional<int>& n) {
    return !n || (*n >= -32768 && *n <= 32767);
}

// The payload after the code of a message a builder made.
std::string_view PayloadOf(std::string_view built, std::string_view code) {
    FUZZ_REQUIRE(built.substr(0, 4) == code);
    return built.substr(4);
}

// Text joined with a plain "#" reads back only when it has no "#" or "\".
std::string Plain(std::string text) {
    std::erase_if(text, [](char c) { return c == '#' || c == '\\'; });
    return text;
}

void ParseArbitrary(std::string_view message) {
    const zm::Message m = zm::Classify(message);
    if (m.kind == zm::Kind::Command) {
        FUZZ_REQUIRE(message.substr(0, 2) == "\xFF\xFF");
        FUZZ_REQUIRE(m.code.size() <= 4 && m.body.size() + 2 == message.size());
        FUZZ_REQUIRE(m.body.substr(0, m.code.size()) == m.code && m.body.substr(m.code.size()) == m.payload);
    } else {
        FUZZ_REQUIRE(m.code.empty() && m.body == message && m.payload == message);
    }
    const std::string_view payload = m.payload;
    const std::size_t fields = ZindleDivideCombine::Divide(payload).size();

    FUZZ_REQUIRE(InSlotRange(zm::ParseSlotNumber(payload)));
    FUZZ_REQUIRE(InUserIdRange(zm::ParseUserId(payload)));
    zm::ParseCack(payload);
    zm::ParseSinf(payload);
    const zm::PrivMessage priv = zm::ParsePriv(payload);
    FUZZ_REQUIRE(InSlotRange(priv.slot) && priv.complete == (fields >= 2));
    const zm::FileOffer offer = zm::ParseFileOffer(payload);
    FUZZ_REQUIRE(InSlotRange(offer.recipient) && offer.complete == (fields >= 3));
    const zm::FileRelay relay = zm::ParseFileRelay(payload);
    FUZZ_REQUIRE(InSlotRange(relay.sender) && relay.complete == (fields >= 4));
    FUZZ_REQUIRE(InUserIdRange(zm::ParseUserEntry(payload).id));
    FUZZ_REQUIRE(InUserIdRange(zm::ParseUsrd(payload)));
}

void RoundTrips(FuzzedDataProvider& in) {
    const int slot = in.ConsumeIntegralInRange(0, zm::kMaxSlot);
    const std::string a = in.ConsumeRandomLengthString(64);
    const std::string b = in.ConsumeRandomLengthString(64);
    const std::string c = in.ConsumeRandomLengthString(64);
    const std::string d = in.ConsumeRandomLengthString(64);

    FUZZ_REQUIRE(zm::ParseSlotNumber(std::to_string(slot)) == slot);
    const int id = in.ConsumeIntegralInRange(-32768, 32767);
    FUZZ_REQUIRE(zm::ParseUserId(std::to_string(id)) == id);

    const zm::Cack cack = zm::ParseCack(PayloadOf(zm::BuildCack(a, b, c), zm::kCack));
    FUZZ_REQUIRE(cack.nickname == a && cack.scrambledPassword == b && cack.versionText == c);

    const zm::PrivMessage priv = zm::ParsePriv(PayloadOf(zm::BuildPriv(slot, a), zm::kPriv));
    FUZZ_REQUIRE(priv.complete && priv.slot == slot && priv.text == a);

    const zm::ServerInfo info = zm::ParseSinf(PayloadOf(zm::BuildSinf(a, b), zm::kSinf));
    FUZZ_REQUIRE(info.roomName == a && info.serverVersion == b);

    const zm::FileRelay relay = zm::ParseFileRelay(PayloadOf(zm::BuildFileRelay(slot, a, b, c), zm::kFile));
    FUZZ_REQUIRE(relay.complete && relay.sender == slot && relay.fileName == a && relay.senderIp == b &&
                 relay.port == c);

    const std::string name = Plain(a), port = Plain(b);
    const zm::FileOffer offer =
        zm::ParseFileOffer(PayloadOf(zm::BuildFileOffer(slot, name, port), zm::kFile));
    FUZZ_REQUIRE(offer.complete && offer.recipient == slot && offer.fileName == name && offer.port == port);

    const bool away = in.ConsumeBool();
    const std::string nick = Plain(d);
    for (std::string_view code : {zm::kUsrl, zm::kUsrn, zm::kUsrc}) {
        const zm::UserEntry entry =
            zm::ParseUserEntry(PayloadOf(zm::BuildUserEntry(code, slot, nick, away), code));
        FUZZ_REQUIRE(entry.id == slot && entry.nickname == nick && entry.away == away);
    }
    FUZZ_REQUIRE(zm::ParseUsrd(PayloadOf(zm::BuildUsrd(slot), zm::kUsrd)) == slot);
    FUZZ_REQUIRE(PayloadOf(zm::BuildErro(a), zm::kErro) == a);
    FUZZ_REQUIRE(PayloadOf(zm::BuildMotd(a), zm::kMotd) == a);
    const auto ferr = ZindleDivideCombine::Divide(PayloadOf(zm::BuildFerr(port), zm::kFerr));
    FUZZ_REQUIRE(ferr.size() == 2 && ferr[0] == zm::kFileUndeliverable && ferr[1] == port);

    // The scrambled password keeps its length and, with the fixed key, holds no
    // byte that would end or mark a message.
    const std::string scrambled = ZindleEncrypt::Encrypt(c);
    FUZZ_REQUIRE(scrambled.size() == c.size());
    FUZZ_REQUIRE(scrambled.find_first_of(std::string_view("\0\xFF", 2)) == std::string::npos);
    FUZZ_REQUIRE(ZindleEncrypt::Encrypt(c, d).size() == c.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    if (in.ConsumeBool()) {
        RoundTrips(in);
        return 0;
    }
    std::string message = in.ConsumeRemainingBytesAsString();
    ParseArbitrary(message);
    // The same payload once more as a command, so every parser also sees it behind a code.
    ParseArbitrary(std::string("\xFF\xFF", 2) + message);
    return 0;
}
