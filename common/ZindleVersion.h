// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Version texts of both programs and the server's rule for accepting a client.
#include "common/ZindleVersionNumbers.h"

#include <string>
#include <string_view>

namespace ZindleVersion {

// "0.2 build #0013": what the client sends in its login.
std::string ClientVersionText(int major = kClientMajor, int minor = kClientMinor,
                              int revision = kClientRevision);
// "0.2.0004": what the server reports in SINF.
std::string ServerVersionText(int major = kServerMajor, int minor = kServerMinor,
                              int revision = kServerRevision);
// "0.2 build #0004" style, as both programs show it on screen.
std::string DisplayVersion(int major, int minor, int revision);

struct VersionNumbers {
    double major = 0, minor = 0, build = 0; // already rounded, halves to even
};

// Major from the text up to and including the first ".", minor from the text
// after it, build from the text after the first "#"; each the number at the start
// of its piece after leading spaces, 0 when there is none.
VersionNumbers ReadVersionNumbers(std::string_view versionText);

// Accepted: major > 0; or major 0 with minor >= 2; or 0.1 with build >= 17.
bool VersionAccepted(std::string_view versionText);

} // namespace ZindleVersion
