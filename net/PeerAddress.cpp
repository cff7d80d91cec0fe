// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/PeerAddress.h"

#include <algorithm>
#include <arpa/inet.h>
#include <charconv>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>

namespace net {

namespace {

// Longer text is no address of either family; it is not even copied.
constexpr std::size_t kLongestAddressText = INET6_ADDRSTRLEN;

bool IsMappedIPv4(const std::uint8_t (&b)[16]) {
    static constexpr std::uint8_t kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
    return std::memcmp(b, kMapped, sizeof kMapped) == 0;
}

std::string IPv6Text(const std::uint8_t* b) {
    std::uint16_t groups[8];
    for (int i = 0; i < 8; ++i)
        groups[i] = std::uint16_t(b[2 * i] << 8 | b[2 * i + 1]);
    // The first longest run of at least two zero groups becomes "::".
    int bestStart = -1, bestLength = 1;
    for (int i = 0; i < 8;) {
        int j = i;
        while (j < 8 && groups[j] == 0)
            ++j;
        if (j - i > bestLength) {
            bestStart = i;
            bestLength = j - i;
        }
        i = j == i ? i + 1 : j;
    }
    std::string text;
    for (int i = 0; i < 8; ++i) {
        if (i == bestStart) {
            text += "::";
            i += bestLength - 1;
            continue;
        }
        if (!text.empty() && text.back() != ':')
            text += ':';
        char hex[5];
        const auto end = std::to_chars(hex, hex + sizeof hex, groups[i], 16).ptr;
        text.append(hex, end);
    }
    return text;
}

} // namespace

std::optional<PeerAddress> PeerAddress::Parse(std::string_view text) {
    if (text.empty() || text.size() >= kLongestAddressText)
        return std::nullopt;
    char buffer[kLongestAddressText] = {};
    std::memcpy(buffer, text.data(), text.size());
    in_addr v4{};
    if (::inet_pton(AF_INET, buffer, &v4) == 1)
        return FromIPv4(v4.s_addr);
    std::uint8_t v6[16];
    if (::inet_pton(AF_INET6, buffer, v6) == 1)
        return FromIPv6(v6);
    return std::nullopt;
}

PeerAddress PeerAddress::FromIPv4(std::uint32_t networkOrder) {
    PeerAddress a;
    a.family_ = Family::IPv4;
    std::memcpy(a.bytes_.data(), &networkOrder, 4);
    return a;
}

PeerAddress PeerAddress::FromIPv6(const std::uint8_t (&bytes)[16]) {
    if (IsMappedIPv4(bytes)) {
        std::uint32_t v4;
        std::memcpy(&v4, bytes + 12, 4);
        return FromIPv4(v4);
    }
    PeerAddress a;
    a.family_ = Family::IPv6;
    std::memcpy(a.bytes_.data(), bytes, 16);
    return a;
}

std::optional<PeerAddress> PeerAddress::FromSocketAddress(const sockaddr* address) {
    if (address->sa_family == AF_INET) {
        sockaddr_in in{};
        std::memcpy(&in, address, sizeof in);
        return FromIPv4(in.sin_addr.s_addr);
    }
    if (address->sa_family == AF_INET6) {
        sockaddr_in6 in6{};
        std::memcpy(&in6, address, sizeof in6);
        std::uint8_t bytes[16];
        std::memcpy(bytes, &in6.sin6_addr, 16);
        return FromIPv6(bytes);
    }
    return std::nullopt;
}

unsigned PeerAddress::ToSocketAddress(std::uint16_t port, sockaddr_storage* out) const {
    std::memset(out, 0, sizeof *out);
    if (family_ == Family::IPv6) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(out);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(port);
        std::memcpy(&in6->sin6_addr, bytes_.data(), 16);
        return sizeof *in6;
    }
    auto* in = reinterpret_cast<sockaddr_in*>(out);
    in->sin_family = AF_INET;
    in->sin_port = htons(port);
    std::memcpy(&in->sin_addr, bytes_.data(), 4);
    return sizeof *in;
}

std::string PeerAddress::Text() const {
    if (family_ == Family::IPv6)
        return IPv6Text(bytes_.data());
    std::string text;
    for (int i = 0; i < 4; ++i) {
        if (i)
            text += '.';
        text += std::to_string(bytes_[std::size_t(i)]);
    }
    return text;
}

std::string PeerAddress::LimitKey() const {
    if (family_ == Family::IPv4)
        return Text();
    std::uint8_t network[16] = {};
    std::memcpy(network, bytes_.data(), 8);
    return IPv6Text(network) + "/64";
}

bool PeerAddress::SharesPrefix(const PeerAddress& other, int bits) const {
    if (family_ != other.family_ || bits < 0 || bits > bitCount())
        return false;
    const int whole = bits / 8;
    if (std::memcmp(bytes_.data(), other.bytes_.data(), std::size_t(whole)) != 0)
        return false;
    const int rest = bits % 8;
    if (rest == 0)
        return true;
    const std::uint8_t mask = std::uint8_t(0xff << (8 - rest));
    return (bytes_[std::size_t(whole)] & mask) == (other.bytes_[std::size_t(whole)] & mask);
}

std::optional<AddressPrefix> AddressPrefix::Parse(std::string_view text) {
    const std::size_t slash = text.find('/');
    const auto address = PeerAddress::Parse(text.substr(0, slash));
    if (!address)
        return std::nullopt;
    AddressPrefix prefix;
    prefix.address_ = *address;
    prefix.length_ = address->bitCount();
    if (slash == std::string_view::npos)
        return prefix;
    const std::string_view digits = text.substr(slash + 1);
    int length = -1;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), length);
    if (digits.empty() || digits.size() > 3 || error != std::errc() || end != digits.data() + digits.size() ||
        length < 0 || length > address->bitCount())
        return std::nullopt;
    // A mapped address is kept as IPv4, where a length past 32 means nothing:
    // such a range is written in its IPv4 form.
    if (address->family() == PeerAddress::Family::IPv4 &&
        text.substr(0, slash).find(':') != std::string_view::npos)
        return std::nullopt;
    prefix.length_ = length;
    prefix.written_ = true;
    return prefix;
}

std::string AddressPrefix::Text() const {
    return written_ ? address_.Text() + '/' + std::to_string(length_) : address_.Text();
}

std::string HostForPort(std::string_view text) {
    if (text.find(':') == std::string_view::npos)
        return std::string(text);
    std::string bracketed = "[";
    bracketed.append(text);
    bracketed += ']';
    return bracketed;
}

std::string PerAddressKey(std::string_view peerText) {
    const auto address = PeerAddress::Parse(peerText);
    return address ? address->LimitKey() : std::string(peerText);
}

bool BanEntryCovers(std::string_view entry, std::string_view peerText) {
    if (entry == peerText)
        return true;
    const auto prefix = AddressPrefix::Parse(entry);
    if (!prefix)
        return false;
    const auto peer = PeerAddress::Parse(peerText);
    return peer && prefix->Matches(*peer);
}

bool BanListCovers(const std::vector<std::string>& entries, std::string_view peerText) {
    return std::any_of(entries.begin(), entries.end(),
                       [&](const std::string& entry) { return BanEntryCovers(entry, peerText); });
}

} // namespace net
