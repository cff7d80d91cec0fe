// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Text boxes whose text goes on the wire hold only what can travel: a character
// that Latin-1 cannot hold shows as the "?" it will be sent as, and NUL, which
// would end a message early, never gets in at all.
//
// A box may also limit what the user types without limiting what the program
// puts in it: a host name from the command line is kept whole, while typing
// stops at the limit, or at the length of such a longer value.
#include <QValidator>

class QLineEdit;

namespace client {

class Latin1Validator : public QValidator {
    Q_OBJECT
public:
    // typedLimit < 0: no limit on typing.
    explicit Latin1Validator(QLineEdit* box, int typedLimit = -1);
    State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;

private:
    void limitTyping(QString& input, int& pos) const;

    QLineEdit* box;
    int typedLimit;
    // The length of what the program last put in the box.
    mutable qsizetype givenLength = 0;
};

// Puts a Latin1Validator on the box, with a limit on typing when one is given.
void MakeLatin1(QLineEdit* box, int typedLimit = -1);

} // namespace client
