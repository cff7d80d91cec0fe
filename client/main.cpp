// SPDX-License-Identifier: GPL-3.0-or-later
// ZindleChatClient: the connect dialog comes first; it and the main window end
// the program when either of them is closed.
#include "about/DutchTranslations.h"
#include "about/Logo.h"
#include "client/core/Reachability.h"
#include "client/ui/Prompts.h"
#include "client/ui/frmConnect.h"
#include "client/ui/frmMain.h"
#include <QApplication>
#include <QStringList>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ZindleChat"));
    QGuiApplication::setDesktopFileName(QStringLiteral("zindlechat-client"));
    QApplication::setWindowIcon(about::LogoIcon());
    // Hiding the main window during a reconnect is not the end of the program.
    QApplication::setQuitOnLastWindowClosed(false);
    about::InstallDutchTranslations(app);

    bool ended = false;
    client::Prompts prompts = client::DefaultPrompts();
    prompts.endProgram = [&ended] {
        ended = true;
        QApplication::quit();
    };

    client::frmMain main(prompts);
    client::frmConnect dialog(main, prompts);
    main.setConnectDialog(&dialog);
    client::WatchReachability(*dialog.Reconnect);

    dialog.show();
    dialog.Form_Load(QApplication::arguments().mid(1).join(QLatin1Char(' ')));
    if (ended)
        return 0;
    return QApplication::exec();
}
