// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A path box that takes a file dropped onto it from a file manager.
#include <QLineEdit>
#include <QStringList>

namespace client {

class FileDropLineEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit FileDropLineEdit(QWidget* parent = nullptr);

signals:
    // Local paths of the dropped files, in the order given.
    void FilesDropped(const QStringList& files);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

} // namespace client
