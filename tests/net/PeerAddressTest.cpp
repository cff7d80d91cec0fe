// SPDX-License-Identifier: GPL-3.0-or-later
// One text per address, the per-address key, and prefixes as the ban list reads them.
#include "net/PeerAddress.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>

using net::AddressPrefix;
using net::PeerAddress;

namespace {

std::string TextOf(std::string_view text) {
    const auto address = PeerAddress::Parse(text);
    return address ? address->Text() : "(geen adres)";
}

TEST(PeerAddress, EveryAddressHasOneText) {
    const struct {
        const char* written;
        const char* text;
    } rows[] = {
        {"192.0.2.7", "192.0.2.7"},
        {"0.0.0.0", "0.0.0.0"},
        {"255.255.255.255", "255.255.255.255"},
        {"::ffff:192.0.2.7", "192.0.2.7"}, // an IPv4 peer on the IPv6 socket
        {"::FFFF:C000:0207", "192.0.2.7"},
        {"2001:DB8::1", "2001:db8::1"},
        {"2001:0db8:0000:0000:0000:0000:0000:0001", "2001:db8::1"},
        {"2001:db8:0:0:1:0:0:1", "2001:db8::1:0:0:1"},    // the first of two equal runs
        {"2001:db8:0:1:1:1:1:1", "2001:db8:0:1:1:1:1:1"}, // one zero group stays
        {"2001:0:0:1:0:0:0:1", "2001:0:0:1::1"},          // the longer run wins
        {"::", "::"},
        {"::1", "::1"},
        {"1::", "1::"},
        {"::1.2.3.4", "::102:304"}, // no dotted tail but for mapped addresses
        {"fe80::1", "fe80::1"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(TextOf(row.written), row.text) << row.written;
}

TEST(PeerAddress, AnythingElseIsNoAddress) {
    for (const char* bad : {"", "localhost", "192.0.2", "192.0.2.256", "192.0.2.07", " 192.0.2.7",
                            "192.0.2.7 ", "[::1]", "::1%lo", "1:2:3:4:5:6:7:8:9", "2001:db8::1::2", "::g",
                            "2001:db8::/64", "1111:2222:3333:4444:5555:6666:7777:8888:9999:aaaa:bbbb"})
        EXPECT_FALSE(PeerAddress::Parse(bad)) << bad;
}

TEST(PeerAddress, SocketAddressesOfBothFamilies) {
    sockaddr_in v4{};
    v4.sin_family = AF_INET;
    ::inet_pton(AF_INET, "127.0.0.1", &v4.sin_addr);
    EXPECT_EQ(PeerAddress::FromSocketAddress(reinterpret_cast<sockaddr*>(&v4))->Text(), "127.0.0.1");

    sockaddr_in6 v6{};
    v6.sin6_family = AF_INET6;
    ::inet_pton(AF_INET6, "::ffff:127.0.0.1", &v6.sin6_addr);
    const auto mapped = PeerAddress::FromSocketAddress(reinterpret_cast<sockaddr*>(&v6));
    EXPECT_EQ(mapped->family(), PeerAddress::Family::IPv4);
    EXPECT_EQ(mapped, PeerAddress::Parse("127.0.0.1"));
    ::inet_pton(AF_INET6, "::1", &v6.sin6_addr);
    EXPECT_EQ(PeerAddress::FromSocketAddress(reinterpret_cast<sockaddr*>(&v6))->Text(), "::1");

    sockaddr unix{};
    unix.sa_family = AF_UNIX;
    EXPECT_FALSE(PeerAddress::FromSocketAddress(&unix));
}

TEST(PeerAddress, LimitsCountIPv4ByAddressAndIPv6ByItsSlash64) {
    EXPECT_EQ(net::PerAddressKey("192.0.2.7"), "192.0.2.7");
    EXPECT_EQ(net::PerAddressKey("2001:db8:1:2:aaaa:bbbb:cccc:dddd"), "2001:db8:1:2::/64");
    EXPECT_EQ(net::PerAddressKey("2001:db8:1:2::1"), net::PerAddressKey("2001:db8:1:2:ffff::9"));
    EXPECT_NE(net::PerAddressKey("2001:db8:1:2::1"), net::PerAddressKey("2001:db8:1:3::1"));
    EXPECT_EQ(net::PerAddressKey("::1"), "::/64");
    EXPECT_EQ(net::PerAddressKey("geen adres"), "geen adres");
}

TEST(PeerAddress, BracketsOnlyAroundIPv6BeforeAPort) {
    EXPECT_EQ(net::HostForPort("192.0.2.7"), "192.0.2.7");
    EXPECT_EQ(net::HostForPort("2001:db8::1"), "[2001:db8::1]");
}

TEST(AddressPrefix, ParsesBothFamiliesAndRefusesWhatIsNoRange) {
    const struct {
        const char* written;
        const char* text; // nullptr: refused
    } rows[] = {
        {"192.0.2.0/24", "192.0.2.0/24"},
        {"192.0.2.7", "192.0.2.7"},
        {"192.0.2.7/32", "192.0.2.7/32"},
        {"0.0.0.0/0", "0.0.0.0/0"},
        {"2001:DB8:1:2::/64", "2001:db8:1:2::/64"},
        {"2001:db8::1", "2001:db8::1"},
        {"::/0", "::/0"},
        {"192.0.2.0/33", nullptr},
        {"2001:db8::/129", nullptr},
        {"192.0.2.0/", nullptr},
        {"192.0.2.0/-1", nullptr},
        {"192.0.2.0/2x", nullptr},
        {"192.0.2.0/0024", nullptr},
        {"::ffff:192.0.2.0/120", nullptr},
        {"/24", nullptr},
        {"example.org/24", nullptr},
    };
    for (const auto& row : rows) {
        const auto prefix = AddressPrefix::Parse(row.written);
        if (row.text)
            EXPECT_EQ(prefix ? prefix->Text() : "(geweigerd)", row.text) << row.written;
        else
            EXPECT_FALSE(prefix) << row.written;
    }
}

TEST(AddressPrefix, BanEntriesCoverTheirRangeInTheirFamilyOnly) {
    const struct {
        const char* entry;
        const char* peer;
        bool covered;
    } rows[] = {
        {"192.0.2.7", "192.0.2.7", true}, // exact, as always
        {"192.0.2.7", "192.0.2.8", false},
        {"192.0.2.0/24", "192.0.2.255", true},
        {"192.0.2.0/24", "192.0.3.0", false},
        {"192.0.2.128/25", "192.0.2.127", false},
        {"192.0.2.128/25", "192.0.2.200", true},
        {"10.0.0.0/7", "11.255.0.1", true}, // a length that cuts a byte
        {"10.0.0.0/7", "12.0.0.1", false},
        {"0.0.0.0/0", "203.0.113.1", true},
        {"0.0.0.0/0", "2001:db8::1", false},
        {"2001:db8::1", "2001:db8::1", true},
        {"2001:DB8::1", "2001:db8::1", true}, // the same address written otherwise
        {"::ffff:192.0.2.7", "192.0.2.7", true},
        {"2001:db8:1:2::/64", "2001:db8:1:2:ffff:ffff:ffff:ffff", true},
        {"2001:db8:1:2::/64", "2001:db8:1:3::1", false},
        {"2001:db8::/32", "2001:db9::1", false},
        {"::/0", "192.0.2.7", false},
        {"geen adres", "geen adres", true}, // an odd entry keeps its exact meaning
        {"geen adres", "192.0.2.7", false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(net::BanEntryCovers(row.entry, row.peer), row.covered) << row.entry << " / " << row.peer;
    EXPECT_TRUE(net::BanListCovers({"10.0.0.1", "2001:db8::/48"}, "2001:db8:0:ff::2"));
    EXPECT_FALSE(net::BanListCovers({"10.0.0.1", "2001:db8::/48"}, "2001:db8:1::2"));
}

} // namespace
