// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/headless/Headless.h"

#include "net/DescriptorLimit.h"
#include "server/core/ServerCore.h"
#include "server/core/ServerPort.h"
#include "server/headless/BanFile.h"
#include "server/headless/CommandDesk.h"
#include "server/headless/ConsoleOutput.h"
#include "server/headless/ControlServer.h"
#include "server/headless/HeadlessOptions.h"
#include "server/headless/JournalLines.h"
#include "server/headless/RoomConfig.h"
#include "server/headless/StandardDescriptors.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <unistd.h>
#include <utility>

namespace {

using server::ConsoleOutput;
using server::WriteNow;

// The service's configuration file, read by the daemon when --config names none.
const QString kServiceConfig = QStringLiteral("/etc/zindlechat-server/zindlechat-server.conf");

// SIGINT, SIGTERM and SIGHUP only write to this pipe; the event loop does the work.
int gSignalPipe[2] = {-1, -1};

extern "C" void OnSignal(int signal) {
    const int saved = errno;
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t n = ::write(gSignalPipe[1], &byte, 1);
    errno = saved;
}

// Errors before the event loop runs (and after it), said at once; under the
// journal with the error priority.
void WriteError(const QString& text) {
    QByteArray bytes = text.toLocal8Bit();
    if (server::IsJournalStream(2))
        bytes.replace('\n', "\n<3>").prepend("<3>").chop(3);
    WriteNow(2, bytes.toStdString());
}

// Everything of one console run; lives on the stack of RunHeadless.
class ConsoleServer {
public:
    ConsoleServer(server::ServerCore& core, server::RoomConfigSources sources,
                  const server::RoomConfig& config, const ServiceHooks& hooks)
        : core_(core), desk_(core, config.port), sources_(std::move(sources)), config_(config), hooks_(hooks),
          journal_(server::IsJournalStream(1)) {
        core_.Log().setLineSink([this](std::string_view line) {
            if (journal_)
                out_.AppendLatin1Line(server::ForJournal(line));
            else
                out_.AppendLatin1Line(line);
        });
        if (auto* dispatcher = QAbstractEventDispatcher::instance())
            QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, &context_,
                             [this] { Flush(); });
        // Skipped lines are reported once the reader caught up, also when the
        // room is quiet.
        droppedCheck_.setInterval(500);
        QObject::connect(&droppedCheck_, &QTimer::timeout, &context_, [this] { Flush(); });
    }
    ~ConsoleServer() {
        core_.Log().setLineSink({});
        out_.Flush();
        err_.Flush();
    }

    void Flush() {
        out_.Flush();
        err_.Flush();
        if (const std::size_t dropped = out_.TakeDroppedOnceCaughtUp()) {
            core_.AddLog(
                QStringLiteral("STATUS [0] %1 logregel(s) overgeslagen: de uitvoer werd niet op tijd gelezen")
                    .arg(dropped));
            out_.Flush();
        }
        if (out_.Dropped() > 0 && !droppedCheck_.isActive())
            droppedCheck_.start();
        else if (out_.Dropped() == 0 && droppedCheck_.isActive())
            droppedCheck_.stop();
    }

    ConsoleOutput& Out() { return out_; }
    server::CommandDesk& Desk() { return desk_; }

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
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(SIGINT, &action, &oldInt_);
        ::sigaction(SIGTERM, &action, &oldTerm_);
        ::sigaction(SIGHUP, &action, &oldHup_);
        signals_ = std::make_unique<QSocketNotifier>(gSignalPipe[0], QSocketNotifier::Read);
        QObject::connect(signals_.get(), &QSocketNotifier::activated, &context_, [this] {
            char got[16];
            bool stop = false, reload = false;
            for (ssize_t n; (n = ::read(gSignalPipe[0], got, sizeof got)) > 0;)
                for (ssize_t i = 0; i < n; ++i)
                    (got[i] == SIGHUP ? reload : stop) = true;
            if (stop)
                Quit();
            else if (reload)
                Reload();
        });
        return true;
    }

    void UnwatchSignals() {
        signals_.reset();
        if (gSignalPipe[0] >= 0) {
            ::sigaction(SIGINT, &oldInt_, nullptr);
            ::sigaction(SIGTERM, &oldTerm_, nullptr);
            ::sigaction(SIGHUP, &oldHup_, nullptr);
            ::close(gSignalPipe[0]);
            ::close(gSignalPipe[1]);
            gSignalPipe[0] = gSignalPipe[1] = -1;
        }
    }

    // SIGHUP: the settings, the configuration and the password file again. What
    // does not read keeps its old value; a file that cannot be read changes nothing.
    void Reload() {
        if (hooks_.onReloading)
            hooks_.onReloading();
        server::RoomConfig next;
        QString error;
        QStringList warnings;
        if (!server::LoadRoomConfig(sources_, config_, &next, &error, &warnings)) {
            core_.AddLog(
                QStringLiteral("STATUS [0] Herladen mislukt: %1; de instellingen blijven zoals ze waren")
                    .arg(error));
        } else {
            if (!server::ValidPort(next.port)) {
                warnings << QStringLiteral("Port \"%1\" is ongeldig, de vorige waarde blijft").arg(next.port);
                next.port = config_.port;
            }
            for (const QString& warning : warnings)
                core_.AddLog(QStringLiteral("STATUS [0] Instelling genegeerd: ") + warning);
            const QStringList changed = server::ApplyOnReload(core_, config_, next);
            config_ = next;
            core_.AddLog(
                QStringLiteral("STATUS [0] Instellingen opnieuw gelezen: ") +
                (changed.isEmpty() ? QStringLiteral("niets gewijzigd") : changed.join(QStringLiteral(", "))));
        }
        core_.ReloadTls(); // the renewed certificate; the log says how it went
        Flush();
        if (hooks_.onReloaded)
            hooks_.onReloaded();
    }

    void Quit() {
        if (stdin_)
            stdin_->setEnabled(false);
        core_.StopServer();
        QCoreApplication::exit(0);
    }

private:
    void ReadStdin() {
        char chunk[4096];
        const ssize_t n = ::read(0, chunk, sizeof chunk);
        if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) {
            // End of input: the server keeps running; only signals or "quit" end it.
            stdin_->setEnabled(false);
            if (!pending_.isEmpty() && !discarding_)
                Run(std::exchange(pending_, QByteArray()));
            return;
        }
        if (n < 0)
            return;
        const qsizetype scanFrom = pending_.size();
        pending_.append(chunk, n);
        qsizetype start = 0;
        for (qsizetype nl = pending_.indexOf('\n', scanFrom); nl >= 0; nl = pending_.indexOf('\n', start)) {
            const QByteArray line = pending_.mid(start, nl - start);
            start = nl + 1;
            if (discarding_) {
                discarding_ = false; // the end of the overlong line: the next one counts again
                continue;
            }
            if (!Run(line))
                return;
        }
        pending_.remove(0, start);
        if (pending_.size() > kMaxLine) {
            // Too long: thrown away whole, up to its newline, so no tail runs as a command.
            if (!discarding_)
                Say({}, QStringLiteral("Regel te lang, genegeerd\n"));
            discarding_ = true;
            pending_.clear();
        }
    }

    // False once the console asked to quit.
    bool Run(const QByteArray& line) {
        bool quit = false;
        desk_.Run(line, &context_, [this, &quit](const server::CommandAnswer& answer) {
            Say(answer.out, answer.err);
            if (answer.quit) {
                quit = true; // only ever at once: "quit" looks nothing up
                Quit();
            }
        });
        return !quit;
    }

    void Say(const QString& out, const QString& err) {
        if (!out.isEmpty())
            out_.AppendUtf8(server::EscapeForTerminal(out).toUtf8().toStdString());
        if (!err.isEmpty()) {
            out_.Flush(); // keep the order of what was said, as far as two streams can
            QByteArray bytes = err.toLocal8Bit();
            if (journal_)
                bytes.replace('\n', "\n<3>").prepend("<3>").chop(3);
            err_.AppendUtf8(bytes.toStdString());
            err_.Flush();
        }
    }

    server::ServerCore& core_;
    server::CommandDesk desk_;
    server::RoomConfigSources sources_;
    server::RoomConfig config_;
    ServiceHooks hooks_;
    bool journal_;
    ConsoleOutput out_{1};
    ConsoleOutput err_{2};
    QTimer droppedCheck_;
    QObject context_; // connections die with the console
    std::unique_ptr<QSocketNotifier> stdin_, signals_;
    QByteArray pending_;
    bool discarding_ = false;
    static constexpr qsizetype kMaxLine = 64 * 1024;
    struct sigaction oldInt_ {
    }, oldTerm_{}, oldHup_{};
};

} // namespace

int RunHeadless(int argc, char** argv, const ServiceHooks& hooks, HeadlessProgram program) {
    server::EnsureStandardDescriptors();
    const bool daemon = program == HeadlessProgram::Daemon;
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    server::RoomConfigSources sources;
    sources.options = server::ParseHeadlessOptions(args);
    const server::HeadlessOptions& options = sources.options;
    if (!options.error.isEmpty()) {
        WriteError(options.error + u'\n');
        return 2;
    }
    if (options.help) {
        WriteNow(1, server::HeadlessHelpText(daemon).toUtf8().toStdString());
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

    // The stored options as the window reads them, the service's configuration
    // over them, the flags over both.
    sources.configPath = options.config.value_or(daemon ? kServiceConfig : QString());
    sources.configRequired = options.config.has_value();
    server::RoomConfig config;
    QString error;
    QStringList warnings;
    if (!server::LoadRoomConfig(sources, server::RoomConfig{}, &config, &error, &warnings)) {
        WriteError(error + u'\n');
        return 2;
    }
    if (!server::ValidPort(config.port)) {
        WriteError(server::InvalidPortReason(config.port) + u'\n');
        return 2;
    }
    net::RaiseDescriptorLimit();

    server::ServerCore core;
    server::ApplyAtStart(core, config);
    ConsoleServer console(core, sources, config, hooks);
    core.LogProgramStarted();
    for (const QString& warning : warnings)
        core.AddLog(QStringLiteral("STATUS [0] Instelling genegeerd: ") + warning);

    std::unique_ptr<server::BanFile> bans;
    if (options.banFile) {
        bans = std::make_unique<server::BanFile>(core, *options.banFile);
        QString report;
        const bool read = bans->Load(&report);
        if (!read) {
            console.Out().Flush();
            WriteError(report + u'\n');
            return 2;
        }
        if (!report.isEmpty())
            core.AddLog(QStringLiteral("STATUS [0] ") + report);
    }

    std::unique_ptr<server::ControlServer> control;
    const QString controlPath = options.control.value_or(daemon ? server::DefaultControlPath() : QString());
    if (!controlPath.isEmpty()) {
        control = std::make_unique<server::ControlServer>(console.Desk(), [&console] { console.Quit(); });
        if (!control->Listen(controlPath, options.controlGroup.value_or(QString()), &error)) {
            console.Out().Flush();
            WriteError(error + u'\n');
            return 1;
        }
    }

    // Without TLS the room still opens, unless it must not take plaintext.
    if (!core.EnableTls(&error) && core.TlsOnly()) {
        console.Out().Flush();
        WriteError(QStringLiteral("Geen TLS: %1\n").arg(error));
        return 1;
    }
    if (!core.StartServer(config.port, &error)) {
        console.Out().Flush();
        WriteError(error + u'\n');
        return 1;
    }
    core.AddLog(server::StartLine(core, config));
    console.Flush();
    if (hooks.onListening)
        hooks.onListening();
    console.WatchStdin();
    if (!console.WatchSignals())
        WriteError(QStringLiteral("Signalen kunnen niet worden opgevangen; stop met \"quit\"\n"));
    const int rc = QCoreApplication::exec();
    core.StopServer();
    console.UnwatchSignals();
    return rc;
}
