// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The direct connection between two clients, after the offer went through the
// server. The sender listens, the receiver connects; lock-step, one chunk in flight:
//
//   receiver -> sender:  ACPT | DENY | NEXTCHUNK | BYE | STOP
//   sender -> receiver:  FILE<decimal size>            answer to ACPT
//                        <n file bytes>CHUNKEND        answer to NEXTCHUNK, n = min(131072, left)
//                        ENDFILE                       answer to NEXTCHUNK when nothing is left
//                        FILETRANSFERSTOP              the sending user cancelled
//
// No delimiters and no lengths: readers count chunk bytes to find the markers.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>
#include <string>

namespace client::filetransfer {

inline constexpr qint64 kChunkSize = 131072;
inline constexpr qint64 kMaxFileSize = 2147483647; // sizes travel as 32-bit signed numbers
inline constexpr int kProgressEvery = 15;          // chunks between two redraws of the progress

inline const QByteArray kAccept = QByteArrayLiteral("ACPT");
inline const QByteArray kDeny = QByteArrayLiteral("DENY");
inline const QByteArray kNextChunk = QByteArrayLiteral("NEXTCHUNK");
inline const QByteArray kBye = QByteArrayLiteral("BYE");
inline const QByteArray kStop = QByteArrayLiteral("STOP");
inline const QByteArray kSizePrefix = QByteArrayLiteral("FILE");
inline const QByteArray kChunkEnd = QByteArrayLiteral("CHUNKEND");
inline const QByteArray kEndFile = QByteArrayLiteral("ENDFILE");
inline const QByteArray kSenderStop = QByteArrayLiteral("FILETRANSFERSTOP");

// The name a path is offered under: everything after the last "/" or "\".
QString BareFileName(const QString& path);

// An offered name made safe to save under: folder parts dropped; nothing when
// what is left is empty, "." or "..", or holds control characters.
std::optional<QString> SafeFileName(const QString& offered);
// The offered name as the window may show it: folder parts dropped, control
// characters shown as "?".
QString DisplayFileName(const QString& offered);

enum class SendCheck { Ok, NotAFile, TooLarge };
SendCheck CheckFileToSend(const QString& path);

// The request that goes to the server ("FILE" + recipient#name#port, without
// the two 0xFF bytes). The name is escaped so "#" and "\" survive the server's unpacking.
std::string BuildOfferRequest(int remoteUserID, const QString& bareName, quint16 port);

// "123B/s", "1KB/s", "5MB/s": the average since the first chunk.
QString SpeedText(qint64 bytes, qint64 seconds);
// "Bezig met versturen: 42% [5MB/s]": `lead`, the percentage, and the rate once there is one.
QString ProgressStatus(const QString& lead, int percent, const QString& speedText);
// Whole percent done; an empty file counts as done.
int Percent(qint64 done, qint64 total);

} // namespace client::filetransfer
