// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/ui/InputLineKeys.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace client {

InputLineKeys::InputLineKeys(QLineEdit* line, std::function<bool(Comfort)> isOn,
                             std::function<QStringList()> nicknames)
    : QObject(line), line_(line), isOn_(std::move(isOn)), nicknames_(std::move(nicknames)) {
    setObjectName(QStringLiteral("InputLineKeys"));
    line->installEventFilter(this);
}

void InputLineKeys::recordSent(const QString& line) {
    completion_.reset();
    if (isOn_(Comfort::InputHistory))
        history_.record(line);
}

void InputLineKeys::show(const QString& text, qsizetype caret) {
    // setText() keeps the maximum length; the send button follows textChanged.
    line_->setText(text);
    line_->setCursorPosition(int(std::min<qsizetype>(caret, line_->text().size())));
}

bool InputLineKeys::eventFilter(QObject* watched, QEvent* event) {
    if (watched != line_ || event->type() != QEvent::KeyPress)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    if (key->key() == Qt::Key_Tab && mods == Qt::NoModifier && isOn_(Comfort::NicknameCompletion)) {
        const auto completed = completion_.complete({line_->text(), line_->cursorPosition()}, nicknames_());
        if (!completed)
            return false; // nothing to complete: the focus moves on
        show(completed->text, completed->caret);
        return true;
    }
    if (key->key() != Qt::Key_Shift)
        completion_.reset();
    if (mods != Qt::NoModifier || !isOn_(Comfort::InputHistory))
        return false;
    if (key->key() == Qt::Key_Up) {
        if (const auto older = history_.older(line_->text()))
            show(*older, older->size());
        return true;
    }
    if (key->key() == Qt::Key_Down) {
        if (const auto newer = history_.newer())
            show(*newer, newer->size());
        return true;
    }
    return false;
}

void RememberSentLine(QLineEdit* line) {
    if (auto* keys = line->findChild<InputLineKeys*>(QString(), Qt::FindDirectChildrenOnly))
        keys->recordSent(line->text());
}

} // namespace client
