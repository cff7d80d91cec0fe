// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What one conversation window (the main window or a private one) gets beyond
// its own controls: the input line's keys, clickable links, the find bar and the
// unread marker, and its lines written to the conversation log.
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

class QLineEdit;
class QTextEdit;
class QWidget;

namespace client {

class Comforts;
class FindBar;
class InputLineKeys;
class TranscriptWriter;
class UnreadMarker;

class ConversationExtras : public QObject {
    Q_OBJECT
public:
    // `partner` names the private partner; it gives "" for the room.
    ConversationExtras(Comforts& comforts, QWidget* window, QTextEdit* txtOutput, QLineEdit* txtInput,
                       TranscriptWriter& transcript, std::function<QString()> partner);

    InputLineKeys* keys = nullptr;
    FindBar* findBar = nullptr;
    UnreadMarker* unread = nullptr;

    // A switch changed in the menu.
    void switched();

private:
    void lineShown(const QString& strData);

    QPointer<Comforts> comforts_;
    QLineEdit* input_ = nullptr;
    std::function<QString()> partner_;
};

} // namespace client
