// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Text boxes whose text goes on the wire hold only what can travel: a character
// that Latin-1 cannot hold shows as the "?" it will be sent as, and NUL, which
// would end a message early, never gets in at all.
#include <QValidator>

class QLineEdit;

namespace client {

class Latin1Validator : public QValidator {
    Q_OBJECT
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;
};

// Puts a Latin1Validator on the box.
void MakeLatin1(QLineEdit* box);

} // namespace client
