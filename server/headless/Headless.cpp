// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/headless/Headless.h"

#include "net/DescriptorLimit.h"
#include "server/core/LimitsText.h"
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

// SIGINT, SIGTERM and SIGHUP only write to this pipe; the event loop does the work.
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
        // Standard output never makes the room wait: what its reader does not take
        // now waits in ConsoleOutput's bounded buffer.
        stdoutFlags_ = ::fcntl(1, F_GETFL);
        if (stdoutFlags_ != -1 && !(stdoutFlags_ & O_NONBLOCK)) {
            ::fcntl(1, F_SETFL, stdoutFlags_ | O_NONBLOCK);
            stdoutWritable_ = std::make_unique<QSocketNotifier>(1, QSocketNotifier::Write);
            stdoutWritable_->setEnabled(false);
            QObject::connect(stdoutWritable_.get(), &QSocketNotifier::activated, &context_,
                             [this] { Flush(); });
        }
        if (auto* dispatcher = QAbstractEventDispatcher::instance())
            QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, &context_,
                             [this] { Flush(); });
    }
    ~ConsoleServer() {
        core_.Log().setLineSink({});
        out_.Flush();
        stdoutWritable_.reset();
        if (stdoutFlags_ != -1)
            ::fcntl(1, F_SETFL, stdoutFlags_);
    }

    // Writes what the reader takes; watches for room when something is left.
    void Flush() {
        out_.Flush();
        if (const std::size_t dropped = out_.TakeDroppedOnceCaughtUp()) {
            core_.AddLog(
                QStringLiteral("STATUS [0] %1 logregel(s) overgeslagen: de uitvoer werd niet op tijd gelezen")
                    .arg(dropped));
            out_.Flush();
        }
        if (stdoutWritable_)
            stdoutWritable_->setEnabled(out_.Pending() > 0);
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
        ::sigaction(SIGHUP, &action, &oldHup_);
        signals_ = std::make_unique<QSocketNotifier>(gSignalPipe[0], QSocketNotifier::Read);
        QObject::connect(signals_.get(), &QSocketNotifier::activated, &context_, [this] {
            char drain[16];
            bool stop = false, reload = false;
            for (ssize_t n; (n = ::read(gSignalPipe[0], drain, sizeof drain)) > 0;)
                for (ssize_t i = 0; i < n; ++i)
                    (drain[i] == SIGHUP ? reload : stop) = true;
            if (reload)
                core_.ReloadTls(); // the log says how it went
            if (stop)
                Quit();
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
                WriteError(QStringLiteral("Regel te lang, genegeerd\n"));
            discarding_ = true;
            pending_.clear();
        }
    }

    // False once the console asked to quit.
    bool Run(const QByteArray& line) {
        // "info N" waits for the host name, looked up only now (a few seconds at most).
        const QStringList words = QString::fromLocal8Bit(line).split(u' ', Qt::SkipEmptyParts);
        bool isNumber = false;
        const int slot = words.size() == 2 && words[0] == u"info" ? words[1].toInt(&isNumber) : -1;
        if (isNumber && core_.IsInUse(slot) && core_.RemoteHost(slot).isEmpty()) {
            core_.LookUpHost(slot, &context_, [this, line] { Execute(line); });
            return true;
        }
        return Execute(line);
    }

    bool Execute(const QByteArray& line) {
        QString out, err;
        const auto result = commands_.Execute(QString::fromLocal8Bit(line), out, err);
        if (!out.isEmpty())
            out_.AppendUtf8(server::EscapeForTerminal(out).toUtf8().toStdString());
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
    std::unique_ptr<QSocketNotifier> stdin_, signals_, stdoutWritable_;
    int stdoutFlags_ = -1;
    QByteArray pending_;
    bool discarding_ = false;
    static constexpr qsizetype kMaxLine = 64 * 1024;
    struct sigaction oldInt_ {
    }, oldTerm_{}, oldHup_{};
};

} // namespace

int RunHeadless(int argc, char** argv, const std::function<void()>& onListening, HeadlessProgram program) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const server::HeadlessOptions options = server::ParseHeadlessOptions(args);
    if (!options.error.isEmpty()) {
        WriteError(options.error + u'\n');
        return 2;
    }
    if (options.help) {
        WriteNow(1, server::HeadlessHelpText(program == HeadlessProgram::Daemon).toUtf8().toStdString());
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
        WriteError(server::InvalidPortReason(port) + u'\n');
        return 2;
    }

    QString password = options.password.value_or(stored.PasswordEnabled ? stored.Password : QString());
    if (options.passwordFile) {
        QString reason;
        if (!server::ReadPasswordFile(*options.passwordFile, &password, &reason)) {
            WriteError(reason + u'\n');
            return 2;
        }
    }
    server::ServerLimits limits = server::LimitsFromSettings(stored);
    limits.loginTimeoutSeconds = options.loginTimeout.value_or(limits.loginTimeoutSeconds);
    limits.maxPendingPerAddress = options.maxPendingPerAddress.value_or(limits.maxPendingPerAddress);
    limits.maxUsersPerAddress = options.maxUsersPerAddress.value_or(limits.maxUsersPerAddress);
    limits.sendBudgetBytes = options.sendBudget.value_or(limits.sendBudgetBytes);
    limits.floodRate = options.floodRate.value_or(limits.floodRate);
    limits.floodBurst = options.floodBurst.value_or(limits.floodBurst);
    bool logAll = false; // a console or a service log wants events, not every message
    server::ParseLogLevel(stored.Log, &logAll);
    net::RaiseDescriptorLimit();

    server::ServerCore core;
    core.setLimits(limits);
    core.setLogMessages(options.logAll.value_or(logAll));
    core.setServerNaam(options.name.value_or(stored.ServerNaam));
    core.setMOTD(options.motd.value_or(stored.MOTD));
    core.setRoomPassword(password);
    core.setChatLog(options.chatLog.value_or(stored.ChatLog));
    core.setDubbelIP(options.noDuplicateIp || stored.chkDubbelIP);
    core.setTlsFiles(options.tlsCert.value_or(stored.TlsCert), options.tlsKey.value_or(stored.TlsKey));
    core.setTlsOnly(options.tlsOnly || stored.TlsOnly);
    core.setListenAddresses(options.listen.isEmpty() ? stored.Listen : options.listen);

    ConsoleServer console(core, port);
    core.LogProgramStarted();
    QString error;
    // Without TLS the room still opens, unless it must not take plaintext.
    if (!core.EnableTls(&error) && core.TlsOnly()) {
        console.Out().Flush();
        WriteError(QStringLiteral("Geen TLS: %1\n").arg(error));
        return 1;
    }
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
