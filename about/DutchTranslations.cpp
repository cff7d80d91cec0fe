// SPDX-License-Identifier: GPL-3.0-or-later
#include "about/DutchTranslations.h"
#include <QLibraryInfo>
#include <QTranslator>

namespace about {

bool InstallDutchTranslations(QCoreApplication& app) {
    // Owned by the application, so it lives exactly as long as the texts it serves.
    auto* translator = new QTranslator(&app);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(QStringLiteral("qtbase_nl"), folder)) {
        delete translator;
        return false;
    }
    return app.installTranslator(translator);
}

} // namespace about
