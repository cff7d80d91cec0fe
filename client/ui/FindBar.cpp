// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/ui/FindBar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolButton>

namespace client {

namespace {
const QString kNotFound = QStringLiteral("Niet gevonden");
const QString kWrappedToStart = QStringLiteral("Verder vanaf het begin");
const QString kWrappedToEnd = QStringLiteral("Verder vanaf het einde");
} // namespace

FindBar::FindBar(QWidget* window, QTextEdit* transcript, QWidget* input, std::function<bool()> enabled)
    : QWidget(window), transcript_(transcript), transcriptObject_(transcript), input_(input),
      enabled_(std::move(enabled)) {
    setObjectName(QStringLiteral("FindBar"));
    setAutoFillBackground(true);
    txtFind = new QLineEdit(this);
    txtFind->setObjectName(QStringLiteral("txtFind"));
    txtFind->setPlaceholderText(QStringLiteral("Zoeken in het gesprek"));
    txtFind->setClearButtonEnabled(true);
    auto button = [this](const char* name, const char* caption, const char* tip) {
        auto* b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(name));
        b->setText(QString::fromLatin1(caption));
        b->setToolTip(QString::fromLatin1(tip));
        return b;
    };
    QToolButton* previous = button("cmdFindPrevious", "Vorige", "Vorige plek (Shift+F3)");
    QToolButton* next = button("cmdFindNext", "Volgende", "Volgende plek (F3)");
    QToolButton* shut = button("cmdFindClose", "Sluiten", "Zoekbalk sluiten (Escape)");
    lblFindStatus = new QLabel(this);
    lblFindStatus->setObjectName(QStringLiteral("lblFindStatus"));

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(2, 2, 2, 2);
    row->addWidget(txtFind, 1);
    row->addWidget(previous);
    row->addWidget(next);
    row->addWidget(lblFindStatus);
    row->addWidget(shut);
    hide();

    connect(previous, &QToolButton::clicked, this, [this] { findNext(true); });
    connect(next, &QToolButton::clicked, this, [this] { findNext(false); });
    connect(shut, &QToolButton::clicked, this, &FindBar::close);
    connect(txtFind, &QLineEdit::textEdited, this, [this] {
        // Typing refines the match in place: search again from its start.
        if (!transcript_)
            return;
        QTextCursor from = transcript_->textCursor();
        from.setPosition(from.selectionStart());
        transcript_->setTextCursor(from);
        findNext(false);
    });
    txtFind->installEventFilter(this);
    transcript_->installEventFilter(this);

    auto shortcut = [window](const QKeySequence& keys, auto handler) {
        auto* s = new QShortcut(keys, window);
        s->setContext(Qt::WindowShortcut);
        QObject::connect(s, &QShortcut::activated, window, handler);
    };
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_F), [this] { open(); });
    shortcut(QKeySequence(Qt::Key_F3), [this] {
        if (isVisible())
            findNext(false);
        else
            open();
    });
    shortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3), [this] {
        if (isVisible())
            findNext(true);
        else
            open();
    });
}

void FindBar::open() {
    if (!enabled_() || !transcript_)
        return;
    if (!isVisible()) {
        full_ = transcript_->geometry();
        show();
        place();
    }
    raise();
    txtFind->setFocus(Qt::ShortcutFocusReason);
    txtFind->selectAll();
}

void FindBar::close() {
    if (!isVisible() || !transcript_)
        return;
    hide();
    lblFindStatus->clear();
    transcript_->setGeometry(full_);
    // Back to the newest line, which new lines then keep in view again.
    QTextCursor cursor = transcript_->textCursor();
    cursor.movePosition(QTextCursor::End);
    transcript_->setTextCursor(cursor);
    if (input_)
        input_->setFocus(Qt::OtherFocusReason);
}

void FindBar::place() {
    const int height = std::min(sizeHint().height(), full_.height() / 2);
    shrunk_ = full_.adjusted(0, 0, 0, -height);
    transcript_->setGeometry(shrunk_);
    setGeometry(full_.left(), shrunk_.bottom() + 1, full_.width(), height);
}

bool FindBar::findNext(bool backwards) {
    const QString needle = txtFind->text();
    if (needle.isEmpty() || !isVisible() || !transcript_)
        return false;
    QTextDocument* document = transcript_->document();
    const QTextDocument::FindFlags flags =
        backwards ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    QTextCursor hit = document->find(needle, transcript_->textCursor(), flags);
    QString status;
    if (hit.isNull()) {
        QTextCursor from(document);
        from.movePosition(backwards ? QTextCursor::End : QTextCursor::Start);
        hit = document->find(needle, from, flags);
        status = backwards ? kWrappedToEnd : kWrappedToStart;
    }
    if (hit.isNull()) {
        lblFindStatus->setText(kNotFound);
        return false;
    }
    lblFindStatus->setText(status);
    transcript_->setTextCursor(hit); // selects the match and scrolls it into view
    return true;
}

bool FindBar::eventFilter(QObject* watched, QEvent* event) {
    // The event's type first: while the transcript is being torn down it still
    // sends events here, and then it is no transcript any more.
    const auto type = event->type();
    if (type == QEvent::Resize || type == QEvent::Move) {
        // The window laid the transcript out anew: the bar follows.
        if (watched == transcriptObject_ && isVisible() && transcript_->geometry() != shrunk_) {
            full_ = transcript_->geometry();
            place();
        }
        return false;
    }
    if (watched != txtFind || event->type() != QEvent::KeyPress)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Escape) {
        close(); // and not the window: a private window closes on Escape
        return true;
    }
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        findNext(key->modifiers().testFlag(Qt::ShiftModifier));
        return true;
    }
    return false;
}

} // namespace client
