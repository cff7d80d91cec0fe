// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A label at the end of the main window's toolbar that says whether the session
// runs encrypted; empty between sessions. The tooltip holds the fingerprint.
#include <QLabel>

namespace client {

class frmMain;

class EncryptionIndicator : public QLabel {
    Q_OBJECT
public:
    explicit EncryptionIndicator(frmMain& main);

    static const QString kEncrypted;
    static const QString kPlain;

private:
    void sessionStarted();
    frmMain& main_;
};

} // namespace client
