// SPDX-License-Identifier: GPL-3.0-or-later
// Where to connect, as the command line and the host box take it.
#include "client/core/HostText.h"
#include "client/core/CommandLine.h"

#include <gtest/gtest.h>

using namespace client;

namespace {

const QString kLongName = QString(63, u'a') + u'.' + QString(63, u'b') + u'.' + QString(63, u'c') + u'.' +
                          QString(61, u'd'); // 253 characters

TEST(HostText, CommandLineTakesIPv6LiteralsAndLongNames) {
    ASSERT_EQ(kLongName.size(), 253);
    const struct {
        QString args, host, port;
    } rows[] = {
        {QStringLiteral("[2001:db8::1]:4000"), QStringLiteral("2001:db8::1"), QStringLiteral("4000")},
        {QStringLiteral("[2001:db8::1]"), QStringLiteral("2001:db8::1"), QStringLiteral("12345")},
        {QStringLiteral("[::1]: pw"), QStringLiteral("::1"), QStringLiteral("12345")},
        {QStringLiteral("2001:db8::1"), QStringLiteral("2001:db8::1"), QStringLiteral("12345")},
        {QStringLiteral("::1 geheim"), QStringLiteral("::1"), QStringLiteral("12345")},
        {QStringLiteral("::ffff:192.0.2.7"), QStringLiteral("::ffff:192.0.2.7"), QStringLiteral("12345")},
        {QStringLiteral("chat.example.org:4000"), QStringLiteral("chat.example.org"), QStringLiteral("4000")},
        {QStringLiteral("192.0.2.7:4000"), QStringLiteral("192.0.2.7"), QStringLiteral("4000")},
        {kLongName + QStringLiteral(":4000"), kLongName, QStringLiteral("4000")},
        // What cannot be split comes whole, for the dialog to refuse.
        {QStringLiteral("[2001:db8::1:4000"), QStringLiteral("[2001:db8::1:4000"), QStringLiteral("12345")},
        {QStringLiteral("[::1]x"), QStringLiteral("[::1]x"), QStringLiteral("12345")},
        {QStringLiteral("1:2:3"), QStringLiteral("1"), QStringLiteral("2")}, // no address: cut as always
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.args.toStdString());
        const CommandLine line = ParseCommandLine(row.args);
        EXPECT_EQ(line.kind, CommandLine::Kind::Connect);
        EXPECT_EQ(line.host, row.host);
        EXPECT_EQ(line.port, row.port);
    }
}

TEST(HostText, TheHostBoxTakesNamesAndAddressesOfBothFamilies) {
    const struct {
        QString text, host; // host empty: refused
    } rows[] = {
        {QStringLiteral("localhost"), QStringLiteral("localhost")},
        {QStringLiteral(" chat.example.org "), QStringLiteral("chat.example.org")},
        {QStringLiteral("chat.example.org."), QStringLiteral("chat.example.org.")},
        {QStringLiteral("my_pc"), QStringLiteral("my_pc")},
        {QStringLiteral("192.0.2.7"), QStringLiteral("192.0.2.7")},
        {QStringLiteral("2001:DB8::1"), QStringLiteral("2001:DB8::1")},
        {QStringLiteral("[2001:db8::1]"), QStringLiteral("2001:db8::1")},
        {QStringLiteral("[::1]"), QStringLiteral("::1")},
        {kLongName, kLongName},
        {kLongName + u'e', QString()},                          // 254 characters
        {QString(64, u'a') + QStringLiteral(".nl"), QString()}, // a label over 63
        {QStringLiteral("chat..example"), QString()},
        {QStringLiteral("-chat.example"), QString()},
        {QStringLiteral("chat example"), QString()},
        {QStringLiteral("chat.example:4000"), QString()}, // the port has its own box
        {QStringLiteral("[chat.example]"), QString()},
        {QStringLiteral("[::1"), QString()},
        {QStringLiteral("2001:db8::1::2"), QString()},
        {QStringLiteral("::1%lo"), QString()},
        {QStringLiteral("h\u00E9"), QString()},
        {QStringLiteral("."), QString()},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text.toStdString());
        QString host;
        EXPECT_EQ(ValidHost(row.text, &host), !row.host.isEmpty());
        EXPECT_EQ(host, row.host);
    }
}

} // namespace
