// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "Over ZindleChat": the version text, the scrolling credits and two links.
// Both programs open it modal; only the version text differs.
#include "about/CreditsScroller.h"
#include "about/DutchTranslations.h"
#include "about/Logo.h"
#include <QDialog>

class QLabel;
class QPushButton;
class QTimer;
class QGroupBox;

namespace about {

inline constexpr const char* kEmailUrl = "mailto:ontwikkelaars@zindlechat.example";
inline constexpr const char* kWebsiteUrl = "https://zindlechat.example";

class frmAbout : public QDialog {
    Q_OBJECT
public:
    // versionText: the client passes its connect dialog's version caption, the
    // server its main window's lblInfo caption.
    explicit frmAbout(const QString& versionText, QWidget* parent = nullptr);
    ~frmAbout() override;

    QLabel* lblVersie = nullptr;
    QGroupBox* frCredits = nullptr;
    QLabel* lblCredits = nullptr;
    QLabel* lblEmail = nullptr;
    QLabel* lblWebsite = nullptr;
    QPushButton* cmdSluiten = nullptr;
    QTimer* Timer1 = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void done(int result) override;

private slots:
    void Timer1_Timer();
    void lblEmail_Click();
    void lblWebsite_Click();
    void cmdSluiten_Click();

private:
    void Form_Load(const QString& versionText);
    void Form_QueryUnload();
    void ShowCaption();
};

// Opens the About window modal over parent and returns when it is closed.
void ShowAbout(QWidget* parent, const QString& versionText);

} // namespace about
