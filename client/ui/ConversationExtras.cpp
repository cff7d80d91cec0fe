// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/ui/ConversationExtras.h"

#include "client/core/TranscriptWriter.h"
#include "client/ui/ChatInput.h"
#include "client/ui/Comforts.h"
#include "client/ui/FindBar.h"
#include "client/ui/InputLineKeys.h"
#include "client/ui/TranscriptLinks.h"
#include "client/ui/UnreadMarker.h"
#include <QLineEdit>
#include <QTextEdit>

namespace client {

ConversationExtras::ConversationExtras(Comforts& comforts, QWidget* window, QTextEdit* txtOutput,
                                       QLineEdit* txtInput, TranscriptWriter& transcript,
                                       std::function<QString()> partner)
    : QObject(window), comforts_(&comforts), input_(txtInput), partner_(std::move(partner)) {
    setObjectName(QStringLiteral("ConversationExtras"));
    // Every switch is read at the moment it matters, through the menu's owner.
    auto on = [this](Comfort comfort) { return comforts_ && comforts_->isOn(comfort); };
    keys = new InputLineKeys(txtInput, on,
                             [this] { return comforts_ ? comforts_->nicknames() : QStringList(); });
    new TranscriptLinks(
        txtOutput, [on] { return on(Comfort::Links); },
        [this](const QUrl& url) {
            if (comforts_)
                comforts_->openUrl(url);
        });
    findBar = new FindBar(window, txtOutput, txtInput, [on] { return on(Comfort::FindBar); });
    unread = new UnreadMarker(window, txtOutput->document(), [on] { return on(Comfort::UnreadMarker); });
    transcript.setLinksSource([on] { return on(Comfort::Links); });
    transcript.setLineObserver([this](const QString& strData) { lineShown(strData); });
}

void ConversationExtras::lineShown(const QString& strData) {
    unread->lineAdded();
    if (comforts_)
        comforts_->logLine(partner_(), strData);
}

void ConversationExtras::switched() {
    if (!comforts_)
        return;
    if (!comforts_->isOn(Comfort::FindBar))
        findBar->close();
    if (!comforts_->isOn(Comfort::UnreadMarker))
        unread->clear();
    MarkUnsendable(input_);
}

} // namespace client
