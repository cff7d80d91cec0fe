// SPDX-License-Identifier: GPL-3.0-or-later
// One server, one client on each family over loopback; and a server told to
// listen on ::1 only.
#include "tests/server/core/CoreFixture.h"

#include <QTcpSocket>

using namespace testing_support;

namespace {

class BothFamilies : public CoreTest {};

TEST_F(BothFamilies, AClientOnEachFamilyLogsInToTheSameServer) {
    RawClient& v4 = LoggedInClient("anna", QStringLiteral("127.0.0.1"));
    RawClient& v6 = LoggedInClient("bob", QStringLiteral("::1"));
    ASSERT_TRUE(v4.WaitForMessage(Cmd("USRN2#bob#0")));
    EXPECT_EQ(core.RemoteIP(1), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(core.RemoteIP(2), QStringLiteral("::1"));
    EXPECT_TRUE(LogHas(
        "] STATUS [1] Inkomende verbinding (127.0.0.1:" + std::to_string(v4.Socket().localPort()) + ")"));
    EXPECT_TRUE(
        LogHas("] STATUS [2] Inkomende verbinding ([::1]:" + std::to_string(v6.Socket().localPort()) + ")"));
    EXPECT_TRUE(core.UserInfoText(2).contains(QStringLiteral("IP-Adres: ::1\r\n")));

    v6.Send("bob> hallo over IPv6");
    EXPECT_TRUE(v4.WaitForMessage("bob> hallo over IPv6"));
}

TEST_F(BothFamilies, AServerOnIPv6LoopbackOnlyRefusesIPv4) {
    core.StopServer();
    core.setListenAddresses({QStringLiteral("::1")});
    QString error;
    ASSERT_TRUE(core.StartServer(QString::number(port), &error)) << error.toStdString();
    QTcpSocket v4;
    v4.connectToHost(QStringLiteral("127.0.0.1"), port);
    EXPECT_FALSE(v4.waitForConnected(2000));
    EXPECT_EQ(v4.error(), QAbstractSocket::ConnectionRefusedError);
    RawClient& v6 = LoggedInClient("bob", QStringLiteral("::1"));
    EXPECT_TRUE(v6.Socket().state() == QAbstractSocket::ConnectedState);
}

} // namespace
