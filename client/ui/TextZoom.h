// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The text size of the transcripts and input lines of every conversation
// window: Ctrl+Plus and Ctrl+Minus change it a point at a time, Ctrl+0 restores
// the standard size. One size for all windows.
#include <QList>
#include <QObject>
#include <QPointer>
#include <initializer_list>

class QWidget;

namespace client {

class TextZoom : public QObject {
    Q_OBJECT
public:
    TextZoom(QObject* parent, int steps);

    // The window's shortcuts, and its boxes follow the size from now on.
    void addWindow(QWidget* window, std::initializer_list<QWidget*> boxes);

    int steps() const { return steps_; }
    void zoomBy(int delta);
    void reset();

signals:
    void changed(int steps);

private:
    void set(int steps);
    void apply(QWidget* box) const;

    int steps_;
    QList<QPointer<QWidget>> boxes_;
};

} // namespace client
