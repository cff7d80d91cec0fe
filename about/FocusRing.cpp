// SPDX-License-Identifier: GPL-3.0-or-later
#include "about/FocusRing.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QPainter>

namespace ui {

namespace {
constexpr int kRingWidth = 2;
}

FocusRing::FocusRing(QWidget* box) : QWidget(box), box_(box) {
    setObjectName(QStringLiteral("FocusRing"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(box->rect());
    setVisible(box->hasFocus());
    box->installEventFilter(this);
}

void FocusRing::AddToScrollingBoxes(QWidget* window) {
    const auto boxes = window->findChildren<QAbstractScrollArea*>();
    for (QAbstractScrollArea* box : boxes) {
        if (box->focusPolicy() == Qt::NoFocus ||
            box->findChild<FocusRing*>(QString(), Qt::FindDirectChildrenOnly))
            continue;
        new FocusRing(box);
    }
}

bool FocusRing::eventFilter(QObject* watched, QEvent* event) {
    if (watched != box_)
        return false;
    switch (event->type()) {
    case QEvent::FocusIn:
        setGeometry(box_->rect());
        raise();
        show();
        break;
    case QEvent::FocusOut:
        hide();
        break;
    case QEvent::Resize:
        setGeometry(box_->rect());
        break;
    default:
        break;
    }
    return false;
}

void FocusRing::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QPen pen(palette().color(QPalette::Active, QPalette::Highlight), kRingWidth);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.drawRect(rect().adjusted(kRingWidth / 2, kRingWidth / 2, -kRingWidth / 2, -kRingWidth / 2));
}

} // namespace ui
