// SPDX-License-Identifier: GPL-3.0-or-later
// One side of a file transfer run by the client's own state machines.
//   ft_bench_transfer send <file>             prints "PORT <n>", serves one receiver, exits when done
//   ft_bench_transfer receive <port> <target> [chat-port]
//                                             accepts at once, prints bytes, seconds and MB/s, and
//                                             with a chat port the latency of chat lines meanwhile
//   ft_bench_transfer chat <lines> <interval-ms>   the chat pacer: prints "PORT <n>", sends timed lines
//   ft_bench_transfer idle <chat-port> <ms>   the same latency with no transfer running
// All give up after a time limit and print their peak memory and CPU time.
#include "BenchMemory.h"
#include "ChatProbe.h"
#include "client/filetransfer/FileReceiver.h"
#include "client/filetransfer/FileSender.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <memory>

using client::FileReceiver;
using client::FileSender;

namespace {
constexpr int kLimitMs = 300000;

int Finish(const char* side, bool ok) {
    std::printf("%s %s peak_rss_kib %ld cpu_s %.3f\n", side, ok ? "ok" : "FAILED", PeakRssKiB(),
                CpuSeconds());
    std::fflush(stdout);
    return ok ? 0 : 1;
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTimer::singleShot(kLimitMs, &app, [] { QCoreApplication::exit(2); });

    if (args.size() == 3 && args[1] == "send") {
        FileSender sender;
        sender.setOfferTimeout(kLimitMs);
        QObject::connect(&sender, &FileSender::StateChanged, &app, [](FileSender::State s) {
            if (s == FileSender::State::Done)
                QCoreApplication::exit(0);
            else if (s != FileSender::State::Offering && s != FileSender::State::AwaitingAnswer &&
                     s != FileSender::State::Sending && s != FileSender::State::Finishing)
                QCoreApplication::exit(1);
        });
        if (!sender.StartOffer(args[2]))
            return Finish("sender", false);
        std::printf("PORT %u\n", unsigned(sender.port()));
        std::fflush(stdout);
        return Finish("sender", app.exec() == 0);
    }
    if (args.size() == 4 && args[1] == "chat") {
        RunChatPacer(args[2].toInt(), args[3].toInt());
        return app.exec();
    }
    if (args.size() == 4 && args[1] == "idle") {
        ChatProbe probe(args[2].toUShort());
        probe.setCounting(true);
        QTimer::singleShot(args[3].toInt(), &app, [] { QCoreApplication::exit(0); });
        app.exec();
        std::printf("%s\n", qPrintable(probe.summary()));
        return Finish("idle", true);
    }
    if ((args.size() == 4 || args.size() == 5) && args[1] == "receive") {
        std::unique_ptr<ChatProbe> probe;
        if (args.size() == 5)
            probe = std::make_unique<ChatProbe>(args[4].toUShort());
        FileReceiver receiver;
        QElapsedTimer clock;
        qint64 doneAt = -1;
        QObject::connect(&receiver, &FileReceiver::StateChanged, &app, [&](FileReceiver::State s) {
            if (s == FileReceiver::State::Asking && receiver.connectionOpen()) {
                if (probe)
                    probe->setCounting(true);
                clock.start();
                receiver.Accept(args[3], true);
            } else if (s == FileReceiver::State::Done) {
                if (doneAt < 0)
                    doneAt = clock.nsecsElapsed();
                if (probe)
                    probe->setCounting(false);
                if (!receiver.connectionOpen()) // "BYE" has reached the sender, which closed
                    QCoreApplication::exit(0);
            } else if (receiver.Finished()) {
                QCoreApplication::exit(1);
            }
        });
        receiver.Start("127.0.0.1", args[2].toUShort());
        const bool ok = app.exec() == 0;
        const double seconds = (doneAt < 0 ? clock.nsecsElapsed() : doneAt) / 1e9;
        std::printf("receiver bytes %lld seconds %.3f MBps %.1f\n", receiver.BytesReceived(), seconds,
                    receiver.BytesReceived() / 1048576.0 / seconds);
        if (probe)
            std::printf("%s\n", qPrintable(probe->summary()));
        return Finish("receiver", ok);
    }
    std::fprintf(stderr,
                 "usage: %s send <file> | receive <port> <target> [chat-port] | chat <lines> <ms> | "
                 "idle <chat-port> <ms>\n",
                 argv[0]);
    return 2;
}
