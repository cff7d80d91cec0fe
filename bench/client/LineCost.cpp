// SPDX-License-Identifier: GPL-3.0-or-later
// zindle_client_linecost: what adding one line costs a shown transcript: the
// writer's insert, the window's layout and one paint, for a 60,000-character
// line without a space (and one of 19,000, which the 20,000-character window
// keeps), a line of 6,666 links and a normal line. Each sample
// starts from a fresh window holding 50 normal lines.
//
//   zindle_client_linecost [repeats]      prints one RESULT line per kind (ms)
#include "client/core/TranscriptWriter.h"
#include "client/ui/ConversationWidgets.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTextEdit>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

QString Repeat(const QString& piece, int times) {
    QString out;
    out.reserve(piece.size() * times);
    for (int i = 0; i < times; ++i)
        out += piece;
    return out;
}

double OneSample(const QString& line) {
    QWidget window;
    window.resize(800, 500);
    QTextEdit* box = client::NewTranscriptBox(&window);
    box->setGeometry(0, 0, 640, 500);
    window.show();
    client::TranscriptWriter writer(box->document());
    writer.setLinksSource([] { return true; });
    for (int i = 0; i < 50; ++i)
        writer.AddOutput(QStringLiteral("jan> regel %1 van het gesprek\r\n").arg(i));
    box->viewport()->repaint();
    QCoreApplication::processEvents();

    QElapsedTimer clock;
    clock.start();
    writer.AddOutput(line);
    box->ensureCursorVisible();
    box->viewport()->repaint();
    QCoreApplication::processEvents();
    return double(clock.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int repeats = argc > 1 ? std::clamp(atoi(argv[1]), 1, 100) : 7;
    const std::pair<const char*, QString> kinds[] = {
        {"long", QStringLiteral("piet> ") + QString(60000, u'x') + QStringLiteral("\r\n")},
        {"long19k", QStringLiteral("piet> ") + QString(19000, u'x') + QStringLiteral("\r\n")},
        {"links",
         QStringLiteral("piet> ") + Repeat(QStringLiteral("www.a.nl "), 6666) + QStringLiteral("\r\n")},
        {"normal", QStringLiteral("piet> hallo allemaal, hoe gaat het vandaag?\r\n")},
    };
    for (const auto& [name, line] : kinds) {
        std::vector<double> ms;
        for (int i = 0; i < repeats; ++i)
            ms.push_back(OneSample(line));
        std::sort(ms.begin(), ms.end());
        std::printf("RESULT kind=%s min=%.2f median=%.2f max=%.2f\n", name, ms.front(), ms[ms.size() / 2],
                    ms.back());
        std::fflush(stdout);
    }
    return 0;
}
