// SPDX-License-Identifier: GPL-3.0-or-later
// zindle_client_linestall: the longest event-loop stall of a client whose room
// gets 60 lines of 60,000 characters without a space, sent by another client
// through a real server (ZindleChatServer --headless on 127.0.0.1).
//
//   zindle_client_linestall SERVER_BINARY [lines]    prints one RESULT line
#include "client/core/ClientSession.h"
#include "client/core/TranscriptWriter.h"
#include "client/core/WireText.h"
#include "client/ui/ConversationWidgets.h"
#include "net/Winsock.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTcpServer>
#include <QTextEdit>
#include <QTimer>
#include <cstdio>
#include <functional>

namespace {

bool WaitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

quint16 FreePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

bool LogIn(client::ClientSession& session, const QString& nickname, quint16 port) {
    bool in = false;
    QObject::connect(&session, &client::ClientSession::loggedIn, [&in] { in = true; });
    session.setLocalNickname(nickname);
    session.setPassword(client::ScramblePassword(QString()));
    session.Winsock1()->connectToHost(QStringLiteral("127.0.0.1"), port);
    return WaitFor([&] { return in; }, 5000);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s SERVER_BINARY [lines]\n", argv[0]);
        return 2;
    }
    const int lines = argc > 2 ? std::clamp(atoi(argv[2]), 1, 200) : 60;
    const quint16 port = FreePort();
    QProcess server;
    server.setProgram(QString::fromLocal8Bit(argv[1]));
    server.setArguments({QStringLiteral("--headless"), QStringLiteral("--port"), QString::number(port)});
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start();
    if (!server.waitForStarted(5000))
        return 1;

    QWidget window;
    window.resize(800, 500);
    QTextEdit* box = client::NewTranscriptBox(&window);
    box->setGeometry(0, 0, 800, 500);
    window.show();
    client::TranscriptWriter transcript(box->document());
    transcript.setLinksSource([] { return true; });

    client::ClientSession receiver, sender;
    int arrived = 0;
    QObject::connect(&receiver, &client::ClientSession::output, [&](const QString& line) {
        transcript.AddOutput(line);
        box->ensureCursorVisible();
        if (line.startsWith(QStringLiteral("zender> ")))
            ++arrived;
    });
    bool up = false;
    for (int i = 0; i < 50 && !up; ++i) {
        up = LogIn(receiver, QStringLiteral("ontvanger"), port);
        if (!up)
            WaitFor([] { return false; }, 100);
    }
    if (!up || !LogIn(sender, QStringLiteral("zender"), port)) {
        std::fprintf(stderr, "no session with the server\n");
        return 1;
    }
    WaitFor([] { return false; }, 200);

    // The stall: the longest gap between two ticks of a 2 ms timer.
    QElapsedTimer clock;
    qint64 last = 0, longest = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    // As a client sends a chat line: its CR LF escaped as backslash and letter.
    const std::string line = "zender> " + std::string(60000, 'x') + "\\r\\n";
    clock.start();
    ticker.start(2);
    for (int i = 0; i < lines; ++i)
        sender.SendData(line, false);
    const bool all = WaitFor([&] { return arrived >= lines; }, 120000);
    const qint64 arrivedAfter = clock.elapsed();
    WaitFor([] { return false; }, 500); // the transcript's idle work, painted
    ticker.stop();
    std::printf("RESULT lines=%d arrived=%d all_in_ms=%lld longest_stall_ms=%.1f\n", lines, arrived,
                static_cast<long long>(arrivedAfter), double(longest) / 1e6);
    std::fflush(stdout);
    receiver.Winsock1()->close();
    sender.Winsock1()->close();
    server.terminate();
    server.waitForFinished(5000);
    return all ? 0 : 1;
}
