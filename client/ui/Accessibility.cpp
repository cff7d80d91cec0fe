// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/ui/Accessibility.h"

#include "about/Accessibility.h"
#include "about/FocusRing.h"
#include "about/ListKeys.h"
#include "client/ui/Comforts.h"
#include "client/ui/FindBar.h"
#include "client/ui/LineAnnouncer.h"
#include "client/ui/TextZoom.h"
#include "client/ui/frmConnect.h"
#include "client/ui/frmMain.h"
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>

namespace client {

Accessibility::Accessibility(frmMain& main)
    : QObject(&main), main_(main), settings_(AccessibilitySettings::Load()) {
    setObjectName(QStringLiteral("Accessibility"));
    zoom_ = new TextZoom(this, settings_.TextZoom);
    connect(zoom_, &TextZoom::changed, this, [](int steps) { AccessibilitySettings::SaveTextZoom(steps); });

    // The last item of "Voorkeuren", kept like the other switches there.
    QMenu* preferences = main.Extras().mnuVoorkeurenMenu;
    mnuReadNewLines = preferences->addAction(QStringLiteral("Nieuwe regels voorlezen"));
    mnuReadNewLines->setObjectName(QStringLiteral("mnuVoorkeuren_ReadNewLines"));
    mnuReadNewLines->setCheckable(true);
    mnuReadNewLines->setChecked(settings_.ReadNewLines);
    connect(mnuReadNewLines, &QAction::toggled, this, &Accessibility::setReadNewLines);

    for (const QKeySequence& keys : {QKeySequence(Qt::Key_F10), QKeySequence(Qt::ALT | Qt::Key_O)}) {
        auto* shortcut = new QShortcut(keys, &main);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, &Accessibility::openOptionsMenu);
    }
    new ui::ListKeys(
        main.lstNicknames, [this] { main_.lstNicknames_DblClick(); },
        [this](const QPoint& at) {
            if (!main_.lstNicknames->selectedItems().isEmpty())
                main_.menuNicknames->popup(at);
        });
    nameMainWindow();
    attach(&main, main.txtOutput, main.txtInput, main.Transcript(), false);
}

void Accessibility::nameMainWindow() {
    ui::ToolbarInTabChain(main_.Toolbar1, QStringLiteral("Werkbalk"));
    ui::SetAccessible(main_.lstNicknames, QStringLiteral("Gebruikers"),
                      QStringLiteral("Enter: privegesprek; Menutoets of Shift+F10: gebruikersmenu"));
    ui::SetAccessible(main_.cmdDefault, QStringLiteral("Sturen"), QStringLiteral("De invoerregel versturen"));
    main_.menuZindleChat->setAccessibleName(QStringLiteral("Opties"));
    main_.menuNicknames->setAccessibleName(QStringLiteral("Gebruikersmenu"));
}

void Accessibility::attach(QWidget* window, QTextEdit* txtOutput, QLineEdit* txtInput,
                           TranscriptWriter& transcript, bool privateConversation) {
    const bool room = !privateConversation;
    ui::SetAccessible(txtOutput, room ? QStringLiteral("Gesprek") : QStringLiteral("Privegesprek"),
                      QStringLiteral("De regels van het gesprek; wat je hier typt gaat naar de invoerregel"));
    ui::SetAccessible(txtInput, QStringLiteral("Invoerregel"),
                      room ? QStringLiteral("Enter verstuurt; Tab vult een nickname aan; Ctrl+A: afwezig")
                           : QStringLiteral("Enter verstuurt naar je gesprekspartner"));
    // A read-only transcript passes Tab on, like every other box.
    txtOutput->setTabChangesFocus(true);
    if (auto* bar = window->findChild<FindBar*>()) {
        ui::SetAccessible(bar->txtFind, QStringLiteral("Zoeken in het gesprek"),
                          QStringLiteral("F3: volgende plek; Shift+F3: vorige; Escape: sluiten"));
        ui::SetAccessible(bar->lblFindStatus, QStringLiteral("Zoekresultaat"));
        // The line edit's own clear button.
        for (QToolButton* button : bar->txtFind->findChildren<QToolButton*>())
            ui::SetAccessible(button, QStringLiteral("Zoektekst wissen"));
    }
    if (auto* toolbar = window->findChild<QToolBar*>(QStringLiteral("Toolbar1"), Qt::FindDirectChildrenOnly);
        toolbar && window != &main_)
        ui::ToolbarInTabChain(toolbar, QStringLiteral("Werkbalk"));
    ui::FocusRing::AddToScrollingBoxes(window);
    zoom_->addWindow(window, {txtOutput, txtInput});
    new LineAnnouncer(txtOutput, transcript, [this] { return settings_.ReadNewLines; });
}

void MakeAccessible(frmConnect& dialog) {
    ui::TieCaption(&dialog, QStringLiteral("Nickname:"), dialog.txtNickname);
    ui::TieCaption(&dialog, QStringLiteral("Wachtwoord:"), dialog.txtPassword);
    ui::TieCaption(&dialog, QStringLiteral("Verbinden met:"), dialog.txtConnectTo);
    ui::TieCaption(&dialog, QStringLiteral("Poort:"), dialog.txtConnectToPort);
    ui::TieCaption(&dialog, QStringLiteral("Status:"), dialog.lblStatus);
    dialog.txtPassword->setAccessibleDescription(
        QStringLiteral("Het wachtwoord van de chatruimte; leeg als die er geen heeft"));
    dialog.txtConnectTo->setAccessibleDescription(QStringLiteral("Naam of IP-adres van de server"));
    ui::SetAccessible(dialog.lblStatus, QStringLiteral("Status"));
    ui::SetAccessible(dialog.Image1, QStringLiteral("ZindleChat"),
                      QStringLiteral("Dubbelklikken toont Over ZindleChat"));
}

void Accessibility::messageArrived(QWidget* window) {
    if (settings_.ReadNewLines && !window->isActiveWindow())
        ui::RaiseAlert(window);
}

void Accessibility::setReadNewLines(bool on) {
    if (mnuReadNewLines->isChecked() != on) {
        mnuReadNewLines->setChecked(on); // comes back here through toggled
        return;
    }
    if (settings_.ReadNewLines == on)
        return;
    settings_.ReadNewLines = on;
    AccessibilitySettings::SaveReadNewLines(on);
}

void Accessibility::openOptionsMenu() {
    QWidget* button = main_.Toolbar1->widgetForAction(main_.Toolbar1Buttons[1]);
    const QPoint at =
        button ? button->mapToGlobal(QPoint(0, button->height())) : main_.mapToGlobal(QPoint(0, 0));
    main_.menuZindleChat->popup(at);
    if (!main_.menuZindleChat->actions().isEmpty())
        main_.menuZindleChat->setActiveAction(main_.menuZindleChat->actions().first());
}

} // namespace client
