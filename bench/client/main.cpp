// SPDX-License-Identifier: GPL-3.0-or-later
// zindle_client_burst: a client session with a transcript in a QTextEdit takes a
// burst of chat lines from a peer on 127.0.0.1 and reports how the transcript
// kept up. Runs offscreen unless a platform is given.
#include "bench/client/BurstPeer.h"
#include "bench/client/BurstTimeline.h"
#include "client/core/ClientSession.h"
#include "client/core/TranscriptWriter.h"
#include "net/Winsock.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFont>
#include <QTextEdit>
#include <QTimer>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace {

struct Options {
    int lines = 50'000;
    int window = 10'000;
    int filler = 40;
    int timeoutSeconds = 120;
    int scroll = 1; // 0: leave the insertion point alone after a line (for comparison)
    int shown = 1;  // 0: the transcript's widget stays hidden (document and writer only)
    // For comparison: 1 wraps each line in one edit block of the document (one
    // layout per line instead of one per insert and cut); 2 keeps one edit block
    // open for a whole pass of the event loop.
    int batch = 0;
    int links = 0; // 1: addresses in lines become links, as the window does by default
};

bool Parse(int argc, char** argv, Options& o) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view key = argv[i], value = argv[i + 1];
        int* target = key == "--lines"     ? &o.lines
                      : key == "--window"  ? &o.window
                      : key == "--filler"  ? &o.filler
                      : key == "--timeout" ? &o.timeoutSeconds
                      : key == "--scroll"  ? &o.scroll
                      : key == "--shown"   ? &o.shown
                      : key == "--batch"   ? &o.batch
                      : key == "--links"   ? &o.links
                                           : nullptr;
        if (!target)
            return false;
        const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), *target);
        if (error != std::errc() || end != value.data() + value.size() || *target < 0)
            return false;
    }
    return argc % 2 == 1 && o.lines > 2 * o.window && o.window > 0 && o.timeoutSeconds > 0 &&
           o.timeoutSeconds <= 900 && o.filler <= 200;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Options o;
    if (!Parse(argc, argv, o)) {
        std::fprintf(
            stderr,
            "gebruik: zindle_client_burst [--lines 50000] [--window 10000] [--filler 40] "
            "[--timeout 120]\n"
            "       [--scroll 1|0] [--shown 1|0] [--batch 0|1|2] [--links 0|1]   (for comparison only)\n");
        return 2;
    }

    // The transcript as the main window has it: Courier 9.75 pt, read-only, shown.
    QTextEdit txtOutput;
    txtOutput.setObjectName("txtOutput");
    txtOutput.setReadOnly(true);
    QFont font(QStringLiteral("Courier"));
    font.setPointSizeF(9.75);
    txtOutput.setFont(font);
    txtOutput.resize(640, 400);
    if (o.shown)
        txtOutput.show();
    client::TranscriptWriter writer(txtOutput.document());
    if (o.links)
        writer.setLinksSource([] { return true; });

    burst::BurstTimeline timeline(o.lines);
    client::ClientSession session;
    session.setLocalNickname(QStringLiteral("bench"));
    QTextCursor batchCursor(txtOutput.document());
    bool batchOpen = false;
    QObject::connect(&session, &client::ClientSession::output, &txtOutput, [&](const QString& text) {
        if (o.batch == 1) {
            batchCursor.beginEditBlock();
        } else if (o.batch == 2 && !batchOpen) {
            batchOpen = true;
            batchCursor.beginEditBlock();
            QTimer::singleShot(0, &txtOutput, [&] {
                batchOpen = false;
                batchCursor.endEditBlock();
            });
        }
        writer.AddOutput(text, false);
        if (o.batch == 1)
            batchCursor.endEditBlock();
        if (o.scroll)
            txtOutput.moveCursor(QTextCursor::End); // the last line in view, as the window does
        const QByteArray latin1 = text.left(32).toLatin1();
        if (const auto n = burst::BurstTimeline::LineNumber(std::string_view(latin1.data(), latin1.size()),
                                                            burst::BurstPeer::kNickname))
            timeline.Shown(*n, burst::BurstTimeline::Clock::now());
    });

    burst::BurstPeer peer(o.lines, o.filler);
    if (peer.port() == 0) {
        std::fprintf(stderr, "FOUT: kan niet luisteren op 127.0.0.1\n");
        return 3;
    }
    peer.Start(std::chrono::seconds(o.timeoutSeconds));
    session.Winsock1()->connectToHost(QStringLiteral("127.0.0.1"), peer.port());

    QElapsedTimer clock;
    clock.start();
    const qint64 limitMs = qint64{o.timeoutSeconds} * 1000;
    while (!timeline.complete() && clock.elapsed() < limitMs && !(peer.finished() && !peer.error().empty()))
        app.processEvents(QEventLoop::AllEvents, 50);
    // The last line is on screen once the view has painted it.
    txtOutput.viewport()->repaint();
    const auto painted = burst::BurstTimeline::Clock::now();
    session.Winsock1_Close();

    // Bounded: the peer's thread ends at its own deadline at the latest.
    while (!peer.finished() && clock.elapsed() < limitMs + 5000)
        app.processEvents(QEventLoop::AllEvents, 50);
    if (!peer.error().empty() || !timeline.complete()) {
        std::fprintf(stderr, "FOUT: %s; %d van %d regels getoond\n",
                     peer.error().empty() ? "tijdslimiet" : peer.error().c_str(), timeline.shown(), o.lines);
        return 4;
    }
    const auto f = timeline.Figures(o.window, peer.lastByteSent());
    if (!f) {
        std::fprintf(stderr, "FOUT: geen cijfers\n");
        return 4;
    }
    const double paintedAfter = std::chrono::duration<double>(painted - peer.lastByteSent()).count();
    const bool lagOk = paintedAfter <= 5.0;
    const bool ratioOk = f->ratio <= 1.5;
    std::printf("regels getoond          %d (buiten volgorde %d), transcript %lld tekens\n", f->shown,
                f->outOfOrder, static_cast<long long>(writer.length()));
    std::printf("hele burst              %.3f s (%.1f us per regel)\n", f->totalSeconds,
                f->totalSeconds * 1e6 / o.lines);
    std::printf(
        "laatste regel getoond   %.3f s na de laatste byte (geschilderd na %.3f s) [doel <= 5 s: %s]\n",
        f->lastLineAfterLastByteSeconds, paintedAfter, lagOk ? "gehaald" : "NIET gehaald");
    std::printf("tijd per regel          eerste %d: %.2f us, laatste %d: %.2f us, verhouding %.2f "
                "[doel <= 1.5: %s]\n",
                o.window, f->firstWindowUsPerLine, o.window, f->lastWindowUsPerLine, f->ratio,
                ratioOk ? "gehaald" : "NIET gehaald");
    std::printf("RESULT lines=%d shown_after_last_byte_s=%.3f painted_after_last_byte_s=%.3f first_us=%.2f "
                "last_us=%.2f ratio=%.2f total_s=%.3f lag_ok=%d ratio_ok=%d\n",
                f->shown, f->lastLineAfterLastByteSeconds, paintedAfter, f->firstWindowUsPerLine,
                f->lastWindowUsPerLine, f->ratio, f->totalSeconds, lagOk, ratioOk);
    return 0;
}
