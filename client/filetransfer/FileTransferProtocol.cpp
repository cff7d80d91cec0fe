// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileTransferProtocol.h"

#include "client/core/WireText.h"
#include "common/ZindleDivideCombine.h"

#include <QFileInfo>

namespace client::filetransfer {

QString BareFileName(const QString& path) {
    const qsizetype cut = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    return path.mid(cut + 1);
}

namespace {
bool IsControl(QChar c) {
    return c.unicode() < 0x20 || c.unicode() == 0x7F || (c.unicode() >= 0x80 && c.unicode() < 0xA0);
}
} // namespace

std::optional<QString> SafeFileName(const QString& offered) {
    const QString name = BareFileName(offered);
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return std::nullopt;
    for (QChar c : name)
        if (IsControl(c))
            return std::nullopt;
    return name;
}

QString DisplayFileName(const QString& offered) {
    QString name = BareFileName(offered);
    for (QChar& c : name)
        if (IsControl(c))
            c = QLatin1Char('?');
    return name;
}

SendCheck CheckFileToSend(const QString& path) {
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile())
        return SendCheck::NotAFile;
    if (info.size() > kMaxFileSize)
        return SendCheck::TooLarge;
    return SendCheck::Ok;
}

std::string BuildOfferRequest(int remoteUserID, const QString& bareName, quint16 port) {
    return "FILE" + std::to_string(remoteUserID) + "#" + ZindleDivideCombine::Escape(EncodeText(bareName)) +
           "#" + std::to_string(port);
}

QString SpeedText(qint64 bytes, qint64 seconds) {
    if (seconds <= 0)
        return QString();
    qint64 rate = bytes / seconds;
    QString unit = QStringLiteral("B/s");
    if (rate > 1024) {
        rate = bytes / 1024 / seconds;
        unit = QStringLiteral("KB/s");
        if (rate > 1024) {
            rate = bytes / 1048576 / seconds;
            unit = QStringLiteral("MB/s");
        }
    }
    return QString::number(rate) + unit;
}

QString ProgressStatus(const QString& lead, int percent, const QString& speedText) {
    QString text = lead + QString::number(percent) + QLatin1Char('%');
    if (!speedText.isEmpty())
        text += QStringLiteral(" [") + speedText + QLatin1Char(']');
    return text;
}

int Percent(qint64 done, qint64 total) {
    if (total <= 0)
        return 100;
    return int(std::clamp<qint64>(done * 100 / total, 0, 100));
}

} // namespace client::filetransfer
