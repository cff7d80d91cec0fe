// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Qt's own texts (message-box buttons, file and colour dialogs) in Dutch,
// whatever language the system is set to: the rest of the program is Dutch too.
#include <QCoreApplication>

namespace about {

// Loads qtbase_nl from Qt's translations folder and installs it on app.
// Returns false (and leaves Qt's English texts) when the file is missing.
bool InstallDutchTranslations(QCoreApplication& app);

} // namespace about
