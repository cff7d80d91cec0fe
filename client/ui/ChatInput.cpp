// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/ui/ChatInput.h"

#include "client/core/WireText.h"
#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTextCharFormat>
#include <QValidator>

namespace client {

namespace {
class NoNulValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override {
        const qsizetype before = input.left(pos).count(QChar(0));
        if (input.contains(QChar(0))) {
            input.remove(QChar(0));
            pos -= int(before);
        }
        return Acceptable;
    }
};
} // namespace

// A line edit draws formats only as part of input-method text; an event with no
// pre-edit text and only formats sets them on the committed text.
void MarkUnsendable(QLineEdit* line) {
    QTextCharFormat mark;
    mark.setForeground(Qt::red);
    mark.setUnderlineStyle(QTextCharFormat::WaveUnderline);
    mark.setUnderlineColor(Qt::red);
    QList<QInputMethodEvent::Attribute> attributes;
    const int cursor = line->cursorPosition();
    for (const auto& [start, length] : UnsendableRuns(line->text()))
        attributes.append(QInputMethodEvent::Attribute(QInputMethodEvent::TextFormat, int(start) - cursor,
                                                       int(length), mark));
    QInputMethodEvent event(QString(), attributes);
    QCoreApplication::sendEvent(line, &event);
    line->setToolTip(attributes.isEmpty()
                         ? QString()
                         : QStringLiteral("Rood gemarkeerde tekens gaan als \"?\" de deur uit: zet "
                                          "\"Unicode (UTF-8) gebruiken\" aan om ze te versturen."));
}

void MakeChatInput(QLineEdit* line) {
    line->setValidator(new NoNulValidator(line));
    // Marks stay where they were put; only a change of the text moves them.
    QObject::connect(line, &QLineEdit::textChanged, line, [line] { MarkUnsendable(line); });
}

} // namespace client
