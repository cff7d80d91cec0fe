// SPDX-License-Identifier: GPL-3.0-or-later
// The About window offscreen: its texts, the scroll timer, closing, reopening
// where the credits stopped, the two links, and the logo resource.
#include "about/frmAbout.h"
#include "tests/support/EventWait.h"
#include <QApplication>
#include <QDesktopServices>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>

using about::frmAbout;

namespace {
const QString kVersion = QStringLiteral("Server\r\n Versie 0.2 build #0004");

QString LastLine(const QLabel* label) {
    return label->text().split(QLatin1Char('\n')).last();
}
} // namespace

class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

TEST(frmAbout, ShowsCaptionVersionCreditsFrameAndClose) {
    frmAbout form(kVersion);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Over ZindleChat"));
    EXPECT_EQ(form.findChild<QLabel*>("lblVersie")->text(), kVersion);
    auto* close = form.findChild<QPushButton*>("cmdSluiten");
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(close->text(), QStringLiteral("Sluiten"));
    EXPECT_EQ(form.findChild<QGroupBox*>("frCredits")->title(), QStringLiteral("Credits"));
    auto* credits = form.findChild<QLabel*>("lblCredits");
    ASSERT_NE(credits, nullptr);
    EXPECT_EQ(credits->font().family(), QStringLiteral("Courier"));
    EXPECT_NE(form.findChild<QLabel*>("lblEmail"), nullptr);
    EXPECT_NE(form.findChild<QLabel*>("lblWebsite"), nullptr);

    // One step is taken at once; the timer carries on every 400 ms.
    EXPECT_EQ(form.Timer1->interval(), 400);
    EXPECT_TRUE(form.Timer1->isActive());
    EXPECT_EQ(credits->text().split(QLatin1Char('\n')).size(), 8);
    EXPECT_EQ(LastLine(credits), about::SharedCredits().visibleLines().last());
}

TEST(frmAbout, TimerScrollsAndClosingStopsIt) {
    frmAbout form(kVersion);
    form.show();
    const int before = about::SharedCredits().counter();
    ASSERT_TRUE(zindletest::WaitUntil([&] { return about::SharedCredits().counter() != before; }));
    EXPECT_EQ(LastLine(form.lblCredits), about::SharedCredits().visibleLines().last());

    form.cmdSluiten->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(form.Timer1->isActive());
    EXPECT_EQ(form.result(), QDialog::Accepted);
}

TEST(frmAbout, ReopeningContinuesWithTheNextCreditLine) {
    int shown = 0;
    {
        frmAbout first(kVersion);
        shown = about::SharedCredits().counter(); // 0 after the last line
        first.close();
    }
    const QStringList credits = about::SharedCredits().credits();
    ASSERT_EQ(credits.size(), 34);
    frmAbout second(kVersion);
    const QStringList lines = second.lblCredits->text().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 8);
    EXPECT_EQ(lines.mid(0, 7), QStringList(7, QString()));
    EXPECT_EQ(lines.last(), credits[shown % credits.size()]);
    EXPECT_EQ(about::SharedCredits().credits().size(), 34);
}

TEST(frmAbout, LinksOpenMailAndWebsite) {
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler("mailto", &recorder, "open");
    QDesktopServices::setUrlHandler("https", &recorder, "open");
    {
        frmAbout form(kVersion);
        emit form.lblEmail->linkActivated(QStringLiteral("ignored"));
        emit form.lblWebsite->linkActivated(QStringLiteral("ignored"));
    }
    QDesktopServices::unsetUrlHandler("mailto");
    QDesktopServices::unsetUrlHandler("https");
    ASSERT_EQ(recorder.opened.size(), 2);
    EXPECT_EQ(recorder.opened[0], QUrl("mailto:ontwikkelaars@zindlechat.example"));
    EXPECT_EQ(recorder.opened[1], QUrl("https://zindlechat.example"));
}

TEST(frmAbout, ShowAboutIsModalAndReturnsWhenClosed) {
    bool sawModal = false;
    QTimer::singleShot(50, [&] {
        auto* form = qobject_cast<frmAbout*>(QApplication::activeModalWidget());
        sawModal = form != nullptr;
        if (form)
            form->cmdSluiten->click();
    });
    // A safety net so a failure cannot leave the test waiting.
    QTimer::singleShot(3000, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* form = qobject_cast<frmAbout*>(w))
                form->reject();
    });
    about::ShowAbout(nullptr, kVersion);
    EXPECT_TRUE(sawModal);
}

TEST(Logo, ComesInEveryRequestedSize) {
    for (int size : {16, 20, 32, 64, 256, 300}) {
        const QPixmap logo = about::Logo(size);
        ASSERT_FALSE(logo.isNull()) << size;
        EXPECT_EQ(logo.size(), QSize(size, size));
    }
    EXPECT_TRUE(about::Logo(0).isNull());
    EXPECT_FALSE(about::LogoIcon().isNull());
    EXPECT_EQ(about::LogoIcon().availableSizes().size(), 6);
}

#include "frmAboutTest.moc"
