// SPDX-License-Identifier: GPL-3.0-or-later
#include "about/frmAbout.h"
#include <QCloseEvent>
#include <QDesktopServices>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace about {

namespace {
QLabel* MakeLinkLabel(const QString& name, const QString& url, const QString& caption, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::RichText);
    label->setText(QStringLiteral("<a href=\"%1\">%2</a>").arg(url.toHtmlEscaped(), caption.toHtmlEscaped()));
    // The window opens the link itself, so that both labels go through one call.
    label->setOpenExternalLinks(false);
    label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    label->setCursor(Qt::PointingHandCursor);
    return label;
}
} // namespace

frmAbout::frmAbout(const QString& versionText, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("Over ZindleChat"));
    setWindowIcon(LogoIcon());
    setModal(true);

    auto* logo = new QLabel(this);
    logo->setObjectName(QStringLiteral("imgLogo"));
    logo->setPixmap(Logo(64));

    auto* title = new QLabel(QStringLiteral("ZindleChat"), this);
    title->setObjectName(QStringLiteral("lblTitel"));
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.6);
    titleFont.setBold(true);
    title->setFont(titleFont);

    lblVersie = new QLabel(this);
    lblVersie->setObjectName(QStringLiteral("lblVersie"));
    lblVersie->setTextFormat(Qt::PlainText);

    auto* heading = new QVBoxLayout;
    heading->addWidget(title);
    heading->addWidget(lblVersie);
    heading->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(logo, 0, Qt::AlignTop);
    top->addLayout(heading, 1);

    frCredits = new QGroupBox(QStringLiteral("Credits"), this);
    frCredits->setObjectName(QStringLiteral("frCredits"));
    lblCredits = new QLabel(frCredits);
    lblCredits->setObjectName(QStringLiteral("lblCredits"));
    lblCredits->setTextFormat(Qt::PlainText);
    lblCredits->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    QFont courier(QStringLiteral("Courier"));
    courier.setStyleHint(QFont::TypeWriter);
    lblCredits->setFont(courier);
    // Room for exactly the eight visible lines, so the text does not jump.
    const QFontMetrics metrics(courier);
    lblCredits->setFixedHeight(metrics.lineSpacing() * CreditsScroller::kVisibleLines + 2);
    lblCredits->setMinimumWidth(metrics.horizontalAdvance(QLatin1Char('M')) * 34);
    auto* creditsLayout = new QVBoxLayout(frCredits);
    creditsLayout->addWidget(lblCredits);

    lblEmail = MakeLinkLabel(QStringLiteral("lblEmail"), QString::fromLatin1(kEmailUrl),
                             QStringLiteral("ontwikkelaars@zindlechat.example"), this);
    lblWebsite = MakeLinkLabel(QStringLiteral("lblWebsite"), QString::fromLatin1(kWebsiteUrl),
                               QStringLiteral("zindlechat.example"), this);

    cmdSluiten = new QPushButton(QStringLiteral("Sluiten"), this);
    cmdSluiten->setObjectName(QStringLiteral("cmdSluiten"));
    cmdSluiten->setDefault(true);

    auto* bottom = new QHBoxLayout;
    auto* links = new QVBoxLayout;
    links->addWidget(lblEmail);
    links->addWidget(lblWebsite);
    bottom->addLayout(links, 1);
    bottom->addWidget(cmdSluiten, 0, Qt::AlignBottom);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(frCredits);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));

    connect(Timer1, &QTimer::timeout, this, &frmAbout::Timer1_Timer);
    connect(lblEmail, &QLabel::linkActivated, this, &frmAbout::lblEmail_Click);
    connect(lblWebsite, &QLabel::linkActivated, this, &frmAbout::lblWebsite_Click);
    connect(cmdSluiten, &QPushButton::clicked, this, &frmAbout::cmdSluiten_Click);

    Form_Load(versionText);
}

frmAbout::~frmAbout() = default;

void frmAbout::Form_Load(const QString& versionText) {
    lblVersie->setText(versionText);
    SharedCredits().Begin();
    ShowCaption();
    Timer1->setInterval(CreditsScroller::kIntervalMs);
    // The first line appears at once, not after the first interval.
    Timer1_Timer();
    Timer1->start();
}

void frmAbout::Timer1_Timer() {
    SharedCredits().Step();
    ShowCaption();
}

void frmAbout::ShowCaption() {
    lblCredits->setText(SharedCredits().displayText());
}

void frmAbout::lblEmail_Click() {
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(kEmailUrl)));
}

void frmAbout::lblWebsite_Click() {
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(kWebsiteUrl)));
}

void frmAbout::cmdSluiten_Click() {
    accept();
}

void frmAbout::Form_QueryUnload() {
    Timer1->stop();
}

void frmAbout::closeEvent(QCloseEvent* event) {
    Form_QueryUnload();
    QDialog::closeEvent(event);
}

void frmAbout::done(int result) {
    // Every way out (Sluiten, Escape, the title-bar cross) ends here.
    Form_QueryUnload();
    QDialog::done(result);
}

void ShowAbout(QWidget* parent, const QString& versionText) {
    frmAbout dialog(versionText, parent);
    dialog.exec();
}

} // namespace about
