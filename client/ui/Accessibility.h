// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The client for keyboard and screen-reader users: names and descriptions for
// every control, F10 and Alt+O for the "Opties" menu, Enter and the Menu key in
// the user list, visible focus, the text size, new lines announced (switch
// "Nieuwe regels voorlezen" in "Voorkeuren") and alerts for what arrives in a
// window without the focus. The main window owns it; every conversation window
// attaches itself.
#include "client/core/AccessibilitySettings.h"

#include <QObject>

class QAction;
class QLineEdit;
class QTextEdit;
class QWidget;

namespace client {

class TextZoom;
class frmConnect;
class TranscriptWriter;
class frmMain;

class Accessibility : public QObject {
    Q_OBJECT
public:
    explicit Accessibility(frmMain& main);

    // A conversation window's transcript and input line: names, zoom, focus
    // ring and the announcement of new lines.
    void attach(QWidget* window, QTextEdit* txtOutput, QLineEdit* txtInput, TranscriptWriter& transcript,
                bool privateConversation);

    // A private message or a file offer arrived in `window`: an alert when that
    // window does not have the focus and announcements are on.
    void messageArrived(QWidget* window);

    bool readsNewLines() const { return settings_.ReadNewLines; }
    void setReadNewLines(bool on);
    TextZoom& zoom() { return *zoom_; }

    // Opens the "Opties" menu under its toolbar button (F10, Alt+O).
    void openOptionsMenu();

    QAction* mnuReadNewLines = nullptr;

private:
    void nameMainWindow();

    frmMain& main_;
    AccessibilitySettings settings_;
    TextZoom* zoom_ = nullptr;
};

// Names for the connect dialog's boxes, tied to their captions.
void MakeAccessible(frmConnect& dialog);

} // namespace client
