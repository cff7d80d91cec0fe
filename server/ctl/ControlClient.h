// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Sends one command line to the control socket and reads the answer: lines
// "O text" (for standard output), "E text" (for standard error) and the closing
// "= 0" or "= 1".
#include <QByteArray>
#include <QString>

namespace ctl {

struct Reply {
    QByteArray out, err;
    int status = 1;  // 0 done, 1 a mistake was reported, 3 no answer
    QString failure; // why there is no answer (status 3)
};

Reply SendCommand(const QString& socketPath, const QByteArray& line, int timeoutMs);

} // namespace ctl
