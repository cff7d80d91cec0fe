// SPDX-License-Identifier: GPL-3.0-or-later
// The version rule under arbitrary texts: nothing crashes, the numbers read are
// whole, the verdict follows from them, and the programs' own texts read back.
#include "FuzzCheck.h"
#include "common/ZindleVersion.h"

#include <cmath>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>

namespace zv = ZindleVersion;

namespace {

bool Whole(double x) {
    return std::isinf(x) || x == std::nearbyint(x);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const int major = in.ConsumeIntegralInRange(0, 99999);
    const int minor = in.ConsumeIntegralInRange(0, 99999);
    const int revision = in.ConsumeIntegralInRange(0, 99999);
    const std::string text = in.ConsumeRemainingBytesAsString();

    const zv::VersionNumbers n = zv::ReadVersionNumbers(text);
    FUZZ_REQUIRE(!std::isnan(n.major) && !std::isnan(n.minor) && !std::isnan(n.build));
    FUZZ_REQUIRE(Whole(n.major) && Whole(n.minor) && Whole(n.build));
    const bool expected = n.major > 0 || (n.major == 0 && (n.minor >= 2 || (n.minor == 1 && n.build >= 17)));
    FUZZ_REQUIRE(zv::VersionAccepted(text) == expected);

    const zv::VersionNumbers own = zv::ReadVersionNumbers(zv::ClientVersionText(major, minor, revision));
    FUZZ_REQUIRE(own.major == major && own.minor == minor && own.build == revision);
    FUZZ_REQUIRE(zv::VersionAccepted(zv::ClientVersionText(major, minor, revision)) ==
                 (major > 0 || minor >= 2 || (minor == 1 && revision >= 17)));
    return 0;
}
