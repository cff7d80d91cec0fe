// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/server/LoadRun.h"

#include <charconv>
#include <cstring>
#include <string_view>

namespace loadgen {
namespace {

template <typename T> bool ToNumber(std::string_view text, T& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

} // namespace

std::string Usage() {
    return "gebruik: zindle_loadgen [opties]\n"
           "  --port N                 poort van de server op 127.0.0.1 (12345)\n"
           "  --host A                 loopback-adres (127.0.0.1)\n"
           "  --clients N              aantal gebruikers (50)\n"
           "  --lines M                regels per gebruiker (0 = alleen inloggen)\n"
           "  --seconds S              stop met zenden na S s; met --rate de looptijd\n"
           "  --window W               onbeantwoorde regels per gebruiker (64)\n"
           "  --rate R                 gepaced: R afleveringen per seconde\n"
           "  --filler B               extra letters per regel (0)\n"
           "  --server-pid P           lees CPU-tijd en geheugen van proces P\n"
           "  --login-timeout S        (60)   --chat-timeout S (120)\n"
           "  --wait-listen S          wacht tot S s tot de server luistert\n"
           "  --connect-concurrency C  logins tegelijk in behandeling (200)\n"
           "  --senders S              alleen de eerste S gebruikers zenden (0 = allemaal)\n"
           "  --idle N                 N extra verbindingen die niet inloggen en zwijgen\n"
           "  --sources N              verdeel de verbindingen over 127.0.0.1 t/m 127.0.0.N (1)\n"
           "  --tls on|off             alle gebruikers over TLS (off)\n";
}

bool ParseOptions(int argc, char** argv, Options& o, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view key = argv[i];
        if (key == "--help" || key == "-h") {
            error = Usage();
            return false;
        }
        if (i + 1 >= argc) {
            error = "waarde ontbreekt na " + std::string(key);
            return false;
        }
        const std::string_view value = argv[++i];
        bool ok = true;
        if (key == "--host") {
            o.host = std::string(value);
        } else if (key == "--port") {
            ok = ToNumber(value, o.port) && o.port != 0;
        } else if (key == "--clients") {
            ok = ToNumber(value, o.clients) && o.clients > 0 && o.clients <= 32766;
        } else if (key == "--lines") {
            ok = ToNumber(value, o.lines) && o.lines <= 100'000'000;
        } else if (key == "--seconds") {
            ok = ToNumber(value, o.seconds) && o.seconds >= 0 && o.seconds <= 600;
        } else if (key == "--window") {
            ok = ToNumber(value, o.window) && o.window > 0;
        } else if (key == "--rate") {
            ok = ToNumber(value, o.rate) && o.rate >= 0;
        } else if (key == "--filler") {
            ok = ToNumber(value, o.filler) && o.filler <= 4000;
        } else if (key == "--server-pid") {
            ok = ToNumber(value, o.serverPid) && o.serverPid > 0;
        } else if (key == "--login-timeout") {
            ok = ToNumber(value, o.loginTimeout) && o.loginTimeout > 0 && o.loginTimeout <= 600;
        } else if (key == "--chat-timeout") {
            ok = ToNumber(value, o.chatTimeout) && o.chatTimeout > 0 && o.chatTimeout <= 900;
        } else if (key == "--wait-listen") {
            ok = ToNumber(value, o.waitListen) && o.waitListen >= 0 && o.waitListen <= 120;
        } else if (key == "--connect-concurrency") {
            ok = ToNumber(value, o.connectConcurrency) && o.connectConcurrency > 0;
        } else if (key == "--senders") {
            ok = ToNumber(value, o.senders);
        } else if (key == "--idle") {
            ok = ToNumber(value, o.idle) && o.idle <= 100'000;
        } else if (key == "--tls") {
            ok = value == "on" || value == "off";
            o.tls = value == "on";
        } else if (key == "--sources") {
            ok = ToNumber(value, o.sources) && o.sources > 0 && o.sources <= 254;
        } else {
            error = "onbekende optie " + std::string(key) + "\n" + Usage();
            return false;
        }
        if (!ok) {
            error = "ongeldige waarde voor " + std::string(key) + ": " + std::string(value);
            return false;
        }
    }
    if (o.rate > 0 && o.lines == 0 && o.seconds == 0) {
        error = "--rate vraagt --seconds of --lines";
        return false;
    }
    if (o.senders > o.clients) {
        error = "--senders is groter dan --clients";
        return false;
    }
    if (o.rate > 0 && o.clients < 2) {
        error = "--rate vraagt minstens 2 clients";
        return false;
    }
    return true;
}

} // namespace loadgen
