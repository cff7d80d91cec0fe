// SPDX-License-Identifier: GPL-3.0-or-later
// ZindleChatServer: the main window, or the console server when asked for one.
// The console road needs no display, so it is taken before any QApplication exists.
#include "about/DutchTranslations.h"
#include "about/Logo.h"
#include "net/DescriptorLimit.h"
#include "server/core/ServerCore.h"
#include "server/headless/Headless.h"
#include "server/headless/StandardDescriptors.h"
#include "server/ui/frmMain.h"

#include <QApplication>
#include <cstring>

namespace {
bool WantsConsole(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        for (const char* option : {"--headless", "--help", "--version"})
            if (std::strcmp(argv[i], option) == 0)
                return true;
    return false;
}
} // namespace

int main(int argc, char** argv) {
    server::EnsureStandardDescriptors();
    if (WantsConsole(argc, argv))
        return RunHeadless(argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName("ZindleChatServer");
    QGuiApplication::setDesktopFileName(QStringLiteral("zindlechat-server"));
    QApplication::setWindowIcon(about::LogoIcon());
    about::InstallDutchTranslations(app);
    // The program ends when the main window agrees to close, not when the last
    // window disappears (hiding to the notification area hides them all).
    QApplication::setQuitOnLastWindowClosed(false);
    net::RaiseDescriptorLimit();
    server::ServerCore core;
    server::frmMain window(core);
    window.show();
    return QApplication::exec();
}
