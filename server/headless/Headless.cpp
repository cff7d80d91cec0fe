// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/headless/Headless.h"

#include "server/core/ServerCore.h"
#include "server/core/ServerSettings.h"
#include "server/headless/ConsoleCommands.h"
#include "server/headless/ConsoleOutput.h"
#include "server/headless/HeadlessOptions.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <unistd.h>
#include <utility>

namespace {

using server::ConsoleOutput;
using server::WriteNow;

// SIGINT and SIGTERM only write to this pipe; the event loop does the stopping.
int gSignalPipe[2] = {-1, -1};

extern "C" void OnStopSignal(int signal) {
    const int saved = errno;
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t n = ::write(gSignalPipe[1], &byte, 1);
    errno = saved;
}

void WriteError(const QString& text) {
    WriteNow(2, text.toLocal8Bit().toStdString());
}

// Everything of one console run; lives on the stack of RunHeadless.
class ConsoleServer {
public:
    ConsoleServer(server::ServerCore& core, const QString& portText)
        : core_(core), commands_(core, portText) {
        core_.Log().setLineSink([this](std::string_view line) { out_.AppendLatin1Line(line); });
        if (auto* dispatcher = QAbstractEventDispatcher::instance())
            QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, &context_,
                             [this] { out_.Flush(); });
    }
    ~ConsoleServer() {
        core_.Log().setLineSink({});
        out_.Flush();
    }

    ConsoleOutput& Out() { return out_; }

    void WatchStdin() {
        if (::fcntl(0, F_GETFD) == -1)
            return; // no standard input at all
        stdin_ = std::make_unique<QSocketNotifier>(0, QSocketNotifier::Read);
        QObject::connect(stdin_.get(), &QSocketNotifier::activated, &context_, [this] { ReadStdin(); });
    }

    bool WatchSignals() {
        if (::pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
            return false;
        struct sigaction action {};
        action.sa_handler = OnStopSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(SIGINT, &action, &oldInt_);
        ::sigaction(SIGTERM, &action, &oldTerm_);
        signals_ = std::make_unique<QSocketNotifier>(gSignalPipe[0], QSocketNotifier::Read);
        QObject::connect(signals_.get(), &QSocketNotifier::activated, &context_, [this] {
            char drain[16];
            while (::read(gSignalPipe[0], drain, sizeof drain) > 0) {
            }
            Quit();
        });
        return true;
    }

    void UnwatchSignals() {
        signals_.reset();
        if (gSignalPipe[0] >= 0) {
            ::sigaction(SIGINT, &oldInt_, nullptr);
            ::sigaction(SIGTERM, &oldTerm_, nullptr);
            ::close(gSignalPipe[0]);
            ::close(gSignalPipe[1]);
            gSignalPipe[0] = gSignalPipe[1] = -1;
        }
    }

private:
    void ReadStdin() {
        char chunk[4096];
        const ssize_t n = ::read(0, chunk, sizeof chunk);
        if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) {
            // End of input: the server keeps running; only signals or "quit" end it.
            stdin_->setEnabled(false);
            if (!pending_.isEmpty())
                Run(std::exchange(pending_, QByteArray()));
            return;
        }
        if (n < 0)
            return;
        pending_.append(chunk, n);
        for (qsizetype nl = pending_.indexOf('\n'); nl >= 0; nl = pending_.indexOf('\n')) {
            const QByteArray line = pending_.left(nl);
            pending_.remove(0, nl + 1);
            if (!Run(line))
                return;
        }
        if (pending_.size() > 64 * 1024) {
            WriteError(QStringLiteral("Regel te lang, genegeerd\n"));
            pending_.clear();
        }
    }

    // False once the console asked to quit.
    bool Run(const QByteArray& line) {
        QString out, err;
        const auto result = commands_.Execute(QString::fromLocal8Bit(line), out, err);
        if (!out.isEmpty())
            out_.AppendUtf8(out.toUtf8().toStdString());
        if (!err.isEmpty()) {
            out_.Flush(); // keep the order of what was said
            WriteError(err);
        }
        if (result == server::ConsoleCommands::Result::Quit) {
            Quit();
            return false;
        }
        return true;
    }

    void Quit() {
        if (stdin_)
            stdin_->setEnabled(false);
        core_.StopServer();
        QCoreApplication::exit(0);
    }

    server::ServerCore& core_;
    server::ConsoleCommands commands_;
    ConsoleOutput out_;
    QObject context_; // connections die with the console
    std::unique_ptr<QSocketNotifier> stdin_, signals_;
    QByteArray pending_;
    struct sigaction oldInt_ {
    }, oldTerm_{};
};

} // namespace

int RunHeadless(int argc, char** argv, const std::function<void()>& onListening) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const server::HeadlessOptions options = server::ParseHeadlessOptions(args);
    if (!options.error.isEmpty()) {
        WriteError(options.error + u'\n');
        return 2;
    }
    if (options.help) {
        WriteNow(1, server::HeadlessHelpText().toUtf8().toStdString());
        return 0;
    }
    if (options.version) {
        WriteNow(1, server::HeadlessVersionText().toUtf8().toStdString());
        return 0;
    }

    std::unique_ptr<QCoreApplication> ownApp;
    if (!QCoreApplication::instance())
        ownApp = std::make_unique<QCoreApplication>(argc, argv);
    std::signal(SIGPIPE, SIG_IGN); // a reader of stdout that goes away must not kill the server

    // The stored options as the window reads them; the flags win for this run.
    const server::ServerSettings stored = server::ReadServerSettings();
    const QString port = options.port.value_or(stored.Port);
    if (!server::ValidPort(port)) {
        WriteError(
            QStringLiteral("Ongeldige poort \"%1\": kies een getal van 1 tot en met 65535\n").arg(port));
        return 2;
    }

    server::ServerCore core;
    core.setServerNaam(options.name.value_or(stored.ServerNaam));
    core.setMOTD(options.motd.value_or(stored.MOTD));
    core.setRoomPassword(options.password.value_or(stored.PasswordEnabled ? stored.Password : QString()));
    core.setChatLog(options.chatLog.value_or(stored.ChatLog));
    core.setDubbelIP(options.noDuplicateIp || stored.chkDubbelIP);

    ConsoleServer console(core, port);
    core.LogProgramStarted();
    QString error;
    if (!core.StartServer(port, &error)) {
        console.Out().Flush();
        WriteError(error + u'\n');
        return 1;
    }
    console.Out().Flush();
    if (onListening)
        onListening();
    console.WatchStdin();
    if (!console.WatchSignals())
        WriteError(QStringLiteral("Signalen kunnen niet worden opgevangen; stop met \"quit\"\n"));
    const int rc = QCoreApplication::exec();
    core.StopServer();
    console.UnwatchSignals();
    return rc;
}
