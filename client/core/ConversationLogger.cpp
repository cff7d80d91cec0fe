// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/core/ConversationLogger.h"

#include "client/core/ConversationLog.h"
#include "client/core/LogWriter.h"

namespace client {

ConversationLogger::ConversationLogger(QObject* parent)
    : QObject(parent), root_(DefaultLogRoot()), now_([] { return QDateTime::currentDateTime(); }),
      writer_(std::make_unique<LogWriter>(this, [this](const QString& path) { emit failed(path); })) {}

ConversationLogger::~ConversationLogger() = default;

void ConversationLogger::log(const QString& partner, const QString& strData) {
    const QDateTime now = now_();
    const QString server = server_.isEmpty() ? QStringLiteral("onbekend") : server_;
    writer_->append(LogFilePath(root_, server, partner, now.date()), LogLineText(now.time(), strData));
}

void ConversationLogger::resume() {
    writer_->resume();
}

} // namespace client
