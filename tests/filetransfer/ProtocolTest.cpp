// SPDX-License-Identifier: GPL-3.0-or-later
// Names, limits and figures of the direct file transfer.
#include "client/filetransfer/FileTransferProtocol.h"
#include "common/ZindleMessages.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace client::filetransfer;

TEST(FileTransferNames, HostileOfferedNamesNeverLeaveTheChosenFolder) {
    EXPECT_EQ(SafeFileName("report.pdf"), "report.pdf");
    EXPECT_EQ(SafeFileName("C:\\Users\\x\\report.pdf"), "report.pdf");
    EXPECT_EQ(SafeFileName("../../etc/passwd"), "passwd");
    EXPECT_EQ(SafeFileName("..\\..\\..\\.bashrc"), ".bashrc");
    EXPECT_EQ(SafeFileName("/abs/olute/name"), "name");
    for (const char* refused :
         {"", ".", "..", "dir/..", "a\\.", "folder/", "bad\nname", "tab\tname", "x\x7f"})
        EXPECT_FALSE(SafeFileName(QString::fromLatin1(refused))) << refused;
    EXPECT_EQ(DisplayFileName("x/evil\r\nname"), "evil??name");
}

TEST(FileTransferNames, TheOfferCarriesTheBareNameAndSurvivesTheServersUnpacking) {
    EXPECT_EQ(BareFileName("/home/me/photo.jpg"), "photo.jpg");
    EXPECT_EQ(BareFileName("photo.jpg"), "photo.jpg");
    EXPECT_EQ(BuildOfferRequest(7, "photo.jpg", 40123), "FILE7#photo.jpg#40123");
    // A "#" would otherwise split the fields at the server.
    EXPECT_EQ(BuildOfferRequest(3, "a#b.txt", 5), "FILE3#a\\#b.txt#5");
    const std::string request = BuildOfferRequest(3, "odd#name\\x.txt", 5);
    const auto offer = ZindleMessages::ParseFileOffer(std::string_view(request).substr(4));
    EXPECT_EQ(offer.fileName, "odd#name\\x.txt");
    EXPECT_EQ(offer.port, "5");
}

TEST(FileTransferChecks, OnlyExistingFilesUpToTheSizeLimitCanBeOffered) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString small = dir.filePath("small.bin"), huge = dir.filePath("huge.bin");
    QFile f(small);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("x");
    f.close();
    EXPECT_EQ(CheckFileToSend(small), SendCheck::Ok);
    EXPECT_EQ(CheckFileToSend(dir.filePath("missing.bin")), SendCheck::NotAFile);
    EXPECT_EQ(CheckFileToSend(dir.path()), SendCheck::NotAFile);
    EXPECT_EQ(CheckFileToSend(QString()), SendCheck::NotAFile);
    QFile big(huge); // sparse: costs no disk
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(kMaxFileSize));
    big.close();
    EXPECT_EQ(CheckFileToSend(huge), SendCheck::Ok);
    ASSERT_TRUE(big.resize(kMaxFileSize + 1));
    EXPECT_EQ(CheckFileToSend(huge), SendCheck::TooLarge);
}

TEST(FileTransferFigures, RateUnitsSwitchAbove1024AndEmptyFilesAreDone) {
    EXPECT_EQ(SpeedText(1024, 1), "1024B/s");
    EXPECT_EQ(SpeedText(1025, 1), "1KB/s");
    EXPECT_EQ(SpeedText(3 * 1024 * 1024, 3), "1024KB/s");
    EXPECT_EQ(SpeedText(3 * 1024 * 1024 + 3 * 1024, 3), "1MB/s");
    EXPECT_EQ(SpeedText(50, 0), "");
    EXPECT_EQ(Percent(0, 0), 100);
    EXPECT_EQ(Percent(1, 3), 33);
    EXPECT_EQ(Percent(kMaxFileSize, kMaxFileSize), 100);
}
