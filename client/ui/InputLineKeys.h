// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The keys an input line learns beyond typing: Up and Down walk through the
// lines sent from it, Tab completes a nickname. Each can be switched off; a Tab
// with nothing to complete moves the focus as it always did.
#include "client/core/ComfortSettings.h"
#include "client/core/InputHistory.h"
#include "client/core/NicknameCompletion.h"

#include <QObject>
#include <QStringList>
#include <functional>

class QLineEdit;

namespace client {

class InputLineKeys : public QObject {
    Q_OBJECT
public:
    InputLineKeys(QLineEdit* line, std::function<bool(Comfort)> isOn, std::function<QStringList()> nicknames);

    void recordSent(const QString& line);
    const InputHistory& history() const { return history_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void show(const QString& text, qsizetype caret);

    QLineEdit* line_;
    std::function<bool(Comfort)> isOn_;
    std::function<QStringList()> nicknames_;
    InputHistory history_;
    NicknameCompletion completion_;
};

// The window's send handling calls this before it empties the line, so the line
// can be recalled with Up later. Does nothing for a line without these keys.
void RememberSentLine(QLineEdit* line);

} // namespace client
