// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's TLS row: the certificate's fingerprint, for users to compare
// with what their client shows, and a button that copies it.
#include "server/core/ServerCore.h"
#include "server/core/ServerSettings.h"
#include "server/ui/frmMain.h"

#include <QClipboard>
#include <QFontDatabase>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>

namespace server {

namespace {
// Pairs per line: the whole fingerprint is wider than the frame.
constexpr int kPairsPerLine = 16;

QString TwoLines(const QString& fingerprint) {
    QString text = fingerprint;
    const int at = kPairsPerLine * 3 - 1;
    if (text.size() > at)
        text[at] = u'\n';
    return text;
}
} // namespace

void frmMain::AddTlsRow(int topTwips) {
    auto* caption = new QLabel(QStringLiteral("TLS:"), frSettings);
    Place(caption, 120, topTwips, 1250, 255);
    lblFingerprint = new QLabel(frSettings);
    lblFingerprint->setObjectName("lblFingerprint");
    lblFingerprint->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    lblFingerprint->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Place(lblFingerprint, 1440, topTwips - 30, 4140, 510);
    cmdCopyFingerprint = new QPushButton(QStringLiteral("&Kopieer"), frSettings);
    cmdCopyFingerprint->setObjectName("cmdCopyFingerprint");
    cmdCopyFingerprint->setToolTip(QStringLiteral("Vingerafdruk (SHA-256) van het certificaat kopiëren"));
    Place(cmdCopyFingerprint, 5640, topTwips, 855, 345);
    connect(cmdCopyFingerprint, &QPushButton::clicked, this, &frmMain::cmdCopyFingerprint_Click);
}

void frmMain::EnableTls(const ServerSettings& settings) {
    core.setTlsFiles(settings.TlsCert, settings.TlsKey);
    core.setTlsOnly(settings.TlsOnly);
    core.EnableTls(); // the log says why when it cannot
    const QString fingerprint = core.TlsFingerprint();
    lblFingerprint->setText(fingerprint.isEmpty() ? QStringLiteral("uit (zie het logvenster)")
                                                  : TwoLines(fingerprint));
    lblFingerprint->setToolTip(fingerprint);
    cmdCopyFingerprint->setEnabled(!fingerprint.isEmpty());
}

void frmMain::cmdCopyFingerprint_Click() {
    const QString fingerprint = core.TlsFingerprint();
    if (!fingerprint.isEmpty())
        QGuiApplication::clipboard()->setText(fingerprint);
}

} // namespace server
