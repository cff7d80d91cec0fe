// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The questions and warnings about a server's certificate, shown for the connect
// dialog: "trust this fingerprint?" on first contact (Ja/Nee, without a nested
// event loop: the answer comes back through a signal), and the plain warning that
// a pinned server's identity changed, which offers no way on.
#include "client/ui/Prompts.h"

#include <QObject>
#include <QPointer>

class QMessageBox;
class QWidget;

namespace client {

class ServerTrust;

class TrustPrompt : public QObject {
    Q_OBJECT
public:
    TrustPrompt(ServerTrust& trust, QWidget* parent, Prompts prompts);

    // The open question, while it is on screen (tests answer it).
    QMessageBox* question() const { return question_; }

    static QString QuestionText(const QString& server, const QString& fingerprint);
    static QString ChangedText(const QString& server, const QString& pinned, const QString& presented);

private:
    void ask(const QString& server, const QString& fingerprint);
    void withdraw();

    ServerTrust& trust_;
    QWidget* parent_;
    Prompts prompts_;
    QPointer<QMessageBox> question_;
};

} // namespace client
