// SPDX-License-Identifier: GPL-3.0-or-later
// The server's arrival path under arbitrary peers: a few connections send bytes
// in pieces of any size, close, and let time pass, in any order. Whatever they
// do, the server keeps its table sound: only slots that went through "CACK"
// and "ACKD" are on the list, nobody gets a message longer than the cap, and
// nothing is touched after it was released (the sanitizers watch that).
#include "FuzzCheck.h"
#include "common/ZindleFraming.h"
#include "server/core/ServerCore.h"
#include "tests/support/FakeTransport.h"

#include <QCoreApplication>
#include <algorithm>
#include <fuzzer/FuzzedDataProvider.h>

namespace {

QCoreApplication& App() {
    static int argc = 1;
    static char name[] = "fuzz_arrival";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

// Words the dispatcher knows, so the fuzzer reaches past the first check soon.
const char* const kWords[] = {"\xFF\xFF"
                              "CACKa##0.2 build \\#0013",
                              "\xFF\xFF"
                              "ACKD",
                              "\xFF\xFF"
                              "AWAY",
                              "\xFF\xFF"
                              "PRIV1#hoi",
                              "\xFF\xFF"
                              "PRIV2#hoi",
                              "\xFF\xFF"
                              "FILE1#a.txt#40001",
                              "\xFF\xFF"
                              "CACKb#x#0.2 build \\#0013",
                              "a> hallo"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    App();
    FuzzedDataProvider in(data, size);
    auto* fake = new testing_support::FakeTransport;
    server::ServerCore core(fake);
    core.setClock([fake] { return fake->now; });
    server::ServerLimits limits;
    limits.floodRate = in.ConsumeIntegralInRange(0, 3) * 10;
    limits.floodBurst = in.ConsumeIntegralInRange(1, 20);
    limits.sendBudgetBytes = std::size_t(in.ConsumeIntegralInRange(0, 4)) * 4096;
    limits.maxPendingPerAddress = in.ConsumeIntegralInRange(0, 3);
    core.setLimits(limits);
    core.setChatLog(in.ConsumeBool());
    core.StartServer(QStringLiteral("12345"));

    std::vector<int> seen;
    for (int step = 0; step < 64 && in.remaining_bytes() > 0; ++step) {
        const int pick = seen.empty() ? -1 : seen[in.ConsumeIntegralInRange<std::size_t>(0, seen.size() - 1)];
        switch (in.ConsumeIntegralInRange(0, 7)) {
        case 0: {
            const int slot = fake->Request(QStringLiteral("127.0.0.%1").arg(in.ConsumeIntegralInRange(1, 2)));
            // A slot comes back after a release: listed once, or it counts twice.
            if (slot > 0 && std::find(seen.begin(), seen.end(), slot) == seen.end())
                seen.push_back(slot);
            break;
        }
        case 1:
        case 2:
            if (pick > 0 && fake->Has(pick))
                fake->Arrive(pick, in.ConsumeBytesAsString(in.ConsumeIntegralInRange(0, 200)));
            break;
        case 3:
            if (pick > 0 && fake->Has(pick))
                fake->Arrive(pick, std::string(kWords[in.ConsumeIntegralInRange(0, 7)]) + '\0');
            break;
        case 4:
            if (pick > 0)
                fake->PeerClose(pick);
            break;
        case 5:
            fake->now += in.ConsumeIntegralInRange(0, 40'000);
            core.Tick();
            fake->Pump();
            break;
        case 6:
            if (pick > 0 && fake->Has(pick))
                fake->Stall(pick, in.ConsumeBool());
            break;
        case 7:
            if (pick > 0 && in.ConsumeBool())
                core.Kick(pick);
            else if (pick > 0)
                core.Ban(pick);
            break;
        }
        QCoreApplication::sendPostedEvents(&core);
        for (const std::int16_t s : core.LoggedIn())
            FUZZ_REQUIRE(core.IsLoggedIn(s));
        int listed = 0;
        for (int s : seen)
            listed += core.IsLoggedIn(s) ? 1 : 0;
        FUZZ_REQUIRE(std::size_t(listed) == core.LoggedIn().size());
    }
    for (int s : seen)
        for (const std::string& m : fake->Messages(s))
            FUZZ_REQUIRE(m.size() <= ZindleWire::kMaxPendingBytes + 16);
    core.StopServer();
    return 0;
}
