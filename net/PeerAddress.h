// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A peer's IP address as a value, so that logs, bans, limits and file offers
// agree on one text for one address:
//   IPv4, and IPv6 that carries an IPv4 address (::ffff:a.b.c.d)  "192.0.2.7"
//   other IPv6                                                     "2001:db8::1"
// The IPv6 text is the canonical one: lower case, no leading zeros, the first
// longest run of two or more zero groups as "::".
//
// A prefix is an address with an optional "/length": "192.0.2.0/24",
// "2001:db8:1:2::/64". Without a length it stands for that one address.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sockaddr;
struct sockaddr_storage;

namespace net {

class PeerAddress {
public:
    enum class Family { IPv4, IPv6 };

    // Dotted IPv4 or IPv6 text (no brackets, no zone); nullopt for anything else.
    static std::optional<PeerAddress> Parse(std::string_view text);
    static PeerAddress FromIPv4(std::uint32_t networkOrder);
    // An IPv4-mapped address becomes its IPv4 address.
    static PeerAddress FromIPv6(const std::uint8_t (&bytes)[16]);
    // A sockaddr_in or sockaddr_in6 as accept() and getpeername() fill it.
    static std::optional<PeerAddress> FromSocketAddress(const sockaddr* address);
    // Fills a sockaddr_in or sockaddr_in6 for bind() or connect(); returns its length.
    unsigned ToSocketAddress(std::uint16_t port, sockaddr_storage* out) const;

    Family family() const { return family_; }
    // 4 bytes for IPv4, 16 for IPv6, in network order.
    const std::uint8_t* bytes() const { return bytes_.data(); }
    int bitCount() const { return family_ == Family::IPv4 ? 32 : 128; }
    std::string Text() const;

    // What the per-address limits count by: an IPv4 address is one household,
    // an IPv6 one holds a whole /64, so its /64 prefix ("2001:db8:1:2::/64").
    std::string LimitKey() const;

    // True when the first bits bits of both addresses are equal (same family only).
    bool SharesPrefix(const PeerAddress& other, int bits) const;

    friend bool operator==(const PeerAddress& a, const PeerAddress& b) {
        return a.family_ == b.family_ && a.bytes_ == b.bytes_;
    }

private:
    Family family_ = Family::IPv4;
    std::array<std::uint8_t, 16> bytes_{};
};

class AddressPrefix {
public:
    // "address" or "address/length"; nullopt when it is neither, or when the
    // length is out of range for the family.
    static std::optional<AddressPrefix> Parse(std::string_view text);

    bool Matches(const PeerAddress& address) const { return address_.SharesPrefix(address, length_); }
    // Canonical: "192.0.2.0/24" (host bits as written), or the address alone.
    std::string Text() const;
    bool IsSingleAddress() const { return length_ == address_.bitCount(); }

private:
    PeerAddress address_;
    int length_ = 0;
    bool written_ = false; // "/length" was given
};

// Address text as it stands before ":port": IPv6 in brackets ("[2001:db8::1]").
std::string HostForPort(std::string_view text);

// The per-address key of a peer given by its text; text that is no address
// keys by itself.
std::string PerAddressKey(std::string_view peerText);

// Whether a ban-list entry covers the peer: a prefix covers its range, an address
// that address; an entry that is neither covers only the very same text.
bool BanEntryCovers(std::string_view entry, std::string_view peerText);
bool BanListCovers(const std::vector<std::string>& entries, std::string_view peerText);

} // namespace net
