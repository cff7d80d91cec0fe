// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A visible keyboard focus for the boxes whose style shows none of its own (a
// read-only transcript, a list): a frame in the highlight colour drawn over the
// box's edge while it has the focus. It takes no room and no mouse clicks.
#include <QWidget>

namespace ui {

class FocusRing : public QWidget {
    Q_OBJECT
public:
    explicit FocusRing(QWidget* box);

    // Rings for every scrolling box in `window` that takes the focus.
    static void AddToScrollingBoxes(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* box_;
};

} // namespace ui
