// SPDX-License-Identifier: GPL-3.0-or-later
// IPv6 peers wherever the core shows, compares or counts an address, and IPv4
// peers exactly as before.
#include "tests/server/core/FakeCoreFixture.h"

using namespace testing_support;
using Ending = FakeTransport::Ending;
using Messages = std::vector<std::string>;

namespace {

class AddressFamilies : public FakeCoreTest {};

const QString kV6 = QStringLiteral("2001:db8:1:2::7");

TEST_F(AddressFamilies, AnIPv6PeerIsShownByItsTextAndAnIPv4PeerAsEver) {
    const int v6 = LoggedIn("anna", kV6);
    const int v4 = LoggedIn("bob", QStringLiteral("192.0.2.7"));
    // Before a port, IPv6 stands in brackets; IPv4 stays as it was.
    EXPECT_TRUE(LogHas("STATUS [1] Inkomende verbinding ([2001:db8:1:2::7]:40000)"));
    EXPECT_TRUE(LogHas("STATUS [2] Inkomende verbinding (192.0.2.7:40001)"));
    EXPECT_EQ(core.RemoteIP(v6), kV6);
    EXPECT_TRUE(
        core.UserInfoText(v6).contains(QStringLiteral("\r\nIP-Adres: 2001:db8:1:2::7\r\nPort: 40000")));
    EXPECT_TRUE(core.UserInfoText(v4).contains(QStringLiteral("\r\nIP-Adres: 192.0.2.7\r\nPort: 40001")));

    // A file offer carries the sender's address as it is: the receiver connects to it.
    fake->Clear(v4);
    SayCmd(v6, "FILE" + std::to_string(v4) + "#a.txt#40123");
    EXPECT_EQ(Got(v4), Messages{Command("FILE1#a.txt#2001:db8:1:2::7#40123")});
    fake->Clear(v6);
    SayCmd(v4, "FILE" + std::to_string(v6) + "#b.txt#40124");
    EXPECT_EQ(Got(v6), Messages{Command("FILE2#b.txt#192.0.2.7#40124")});
}

TEST_F(AddressFamilies, BansTakeIPv6AddressesAndPrefixesOfBothFamilies) {
    // Banning a user bans its exact address: another connection from it goes too,
    // a neighbour in the same /64 stays.
    const int anna = LoggedIn("anna", kV6);
    const int twin = LoggedIn("anna2", kV6);
    const int neighbour = LoggedIn("buur", QStringLiteral("2001:db8:1:2::8"));
    ASSERT_TRUE(core.Ban(anna));
    EXPECT_EQ(core.BanList(), QStringList{kV6});
    EXPECT_FALSE(core.IsInUse(twin));
    EXPECT_TRUE(core.IsLoggedIn(neighbour));
    const int back = Connect(kV6);
    Cack(back, "terug");
    EXPECT_EQ(Got(back), Messages{Command("ERROSBAN")});

    core.ClearBans();
    core.AddBan(QStringLiteral("192.0.2.0/24"));
    core.AddBan(QStringLiteral("2001:db8:9:9::/64"));
    const struct {
        const char* peer;
        bool banned;
    } rows[] = {
        {"192.0.2.1", true},       {"192.0.2.255", true},         {"192.0.3.1", false},
        {"2001:db8:9:9::1", true}, {"2001:db8:9:9:ffff::", true}, {"2001:db8:9:a::1", false},
    };
    int n = 0;
    for (const auto& row : rows) {
        const int slot = Connect(QString::fromLatin1(row.peer));
        Cack(slot, "gast" + std::to_string(n++));
        if (row.banned) {
            EXPECT_EQ(Got(slot), Messages{Command("ERROSBAN")}) << row.peer;
            EXPECT_EQ(fake->EndingOf(slot), Ending::Closed) << row.peer;
        } else {
            EXPECT_EQ(Got(slot).front(), Command("SACK")) << row.peer;
        }
    }
}

TEST_F(AddressFamilies, TheDuplicateRuleComparesWholeIPv6Addresses) {
    core.setDubbelIP(true);
    LoggedIn("anna", kV6);
    const int twin = Connect(kV6);
    Cack(twin, "tweeling");
    EXPECT_EQ(Got(twin), Messages{Command("ERRODBIP")});
    // The same /64 is another address for this rule.
    LoggedIn("buur", QStringLiteral("2001:db8:1:2::8"));
    // An IPv4 address and the IPv6 one that carries it are one address: the
    // transport gives both as the dotted text.
    LoggedIn("bob", QStringLiteral("192.0.2.7"));
    const int again = Connect(QStringLiteral("192.0.2.7"));
    Cack(again, "bob2");
    EXPECT_EQ(Got(again), Messages{Command("ERRODBIP")});
}

TEST_F(AddressFamilies, WaitingLoginsAreCountedPerSlash64ForIPv6) {
    server::ServerLimits limits = core.Limits();
    limits.maxPendingPerAddress = 2;
    core.setLimits(limits);
    const int first = Connect(QStringLiteral("2001:db8:1:2::1"));
    const int second = Connect(QStringLiteral("2001:db8:1:2:ffff:ffff:ffff:ffff"));
    EXPECT_NE(second, -1);
    // The third of one /64 takes the place of the one that waited longest.
    const int third = Connect(QStringLiteral("2001:db8:1:2::3"));
    EXPECT_NE(third, -1);
    EXPECT_EQ(fake->refused, 0);
    EXPECT_EQ(fake->EndingOf(first), Ending::Aborted) << "one /64 is one address";
    EXPECT_TRUE(core.IsInUse(second));

    // The next /64 is someone else, and IPv4 still counts per address.
    const int other = Connect(QStringLiteral("2001:db8:1:3::1"));
    Connect(QStringLiteral("2001:db8:1:3::2"));
    const int v4 = Connect(QStringLiteral("192.0.2.1"));
    Connect(QStringLiteral("192.0.2.2"));
    EXPECT_EQ(fake->EndingOf(other), Ending::Open);
    EXPECT_EQ(fake->EndingOf(v4), Ending::Open);
    EXPECT_EQ(fake->EndingOf(second), Ending::Open);

    // One that logs in no longer waits: it is never the one to go.
    Cack(second, "een");
    SayCmd(second, "ACKD");
    Connect(QStringLiteral("2001:db8:1:2::4"));
    EXPECT_TRUE(core.IsLoggedIn(second));
    EXPECT_EQ(fake->EndingOf(third), Ending::Open);
    Connect(QStringLiteral("2001:db8:1:2::5"));
    EXPECT_EQ(fake->EndingOf(third), Ending::Aborted);
}

} // namespace
