// SPDX-License-Identifier: GPL-3.0-or-later
// Qt's own texts speak Dutch once the translations are installed.
#include "about/DutchTranslations.h"
#include <QApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {
QString ButtonText(QMessageBox& box, QMessageBox::StandardButton which) {
    return box.button(which)->text().remove(QLatin1Char('&'));
}
} // namespace

TEST(DutchTranslations, MessageBoxButtonsReadJaNeeAnnuleren) {
    const QString file = QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_nl.qm";
    if (!QFileInfo::exists(file))
        GTEST_SKIP() << "Qt's Dutch translations are not installed (qt6-translations-l10n)";

    ASSERT_TRUE(about::InstallDutchTranslations(*qApp));
    QMessageBox box(QMessageBox::Question, "ZindleChat", "Doorgaan?",
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(ButtonText(box, QMessageBox::Yes), QStringLiteral("Ja"));
    EXPECT_EQ(ButtonText(box, QMessageBox::No), QStringLiteral("Nee"));
    EXPECT_EQ(ButtonText(box, QMessageBox::Cancel), QStringLiteral("Annuleren"));
}
