// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/ui/ConversationWidgets.h"

#include "client/core/ChatColors.h"
#include "client/ui/ChatInput.h"
#include <QFont>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPalette>
#include <QTextEdit>
#include <QToolBar>

namespace client {

namespace {
QFont CourierFont() {
    QFont font(QStringLiteral("Courier"));
    font.setStyleHint(QFont::TypeWriter);
    font.setPointSizeF(9.75);
    return font;
}
} // namespace

QToolBar* NewToolbar(QWidget* parent) {
    auto* toolbar = new QToolBar(parent);
    toolbar->setObjectName(QStringLiteral("Toolbar1"));
    toolbar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    return toolbar;
}

QAction* AddToolbarButton(QToolBar* toolbar, int index, const char* caption, const char* tip,
                          const std::function<void(int)>& onClick) {
    QAction* action = toolbar->addAction(QString::fromLatin1(caption));
    action->setObjectName(QStringLiteral("Toolbar1_Button%1").arg(index));
    action->setToolTip(QString::fromLatin1(tip));
    QObject::connect(action, &QAction::triggered, toolbar, [onClick, index] { onClick(index); });
    return action;
}

QTextEdit* NewTranscriptBox(QWidget* parent) {
    auto* box = new QTextEdit(parent);
    box->setObjectName(QStringLiteral("txtOutput"));
    box->setReadOnly(true);
    box->setFocusPolicy(Qt::StrongFocus);
    box->setFont(CourierFont());
    box->setUndoRedoEnabled(false);
    return box;
}

QLineEdit* NewInputLine(QWidget* parent) {
    auto* line = new QLineEdit(parent);
    line->setObjectName(QStringLiteral("txtInput"));
    line->setMaxLength(255);
    line->setFont(CourierFont());
    MakeChatInput(line);
    return line;
}

void SetBoxColors(QWidget* box, qint64 background, qint64 text) {
    QPalette palette = box->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Base, ColorFromInt(background));
        palette.setColor(group, QPalette::Text, ColorFromInt(text));
    }
    box->setPalette(palette);
}

bool MoveTypingToInput(const QKeyEvent* event, QLineEdit* input) {
    const QString text = event->text();
    if (text.isEmpty() || !text.at(0).isPrint())
        return false;
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    if (!input->isEnabled())
        return false;
    input->setFocus(Qt::OtherFocusReason);
    input->insert(text); // insert() replaces the selection
    return true;
}

} // namespace client
