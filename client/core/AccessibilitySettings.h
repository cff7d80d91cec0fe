// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the client keeps for screen-reader and low-vision users, next to the
// other switches in section "Options" of application "ZindleChat": whether new
// lines are announced ("-1" on, "0" off) and the text size as steps of one point
// from the standard size.
namespace client {

struct AccessibilitySettings {
    static constexpr int kMinZoom = -4;
    static constexpr int kMaxZoom = 16;

    bool ReadNewLines = true;
    int TextZoom = 0;

    static AccessibilitySettings Load();
    static void SaveReadNewLines(bool on);
    static void SaveTextZoom(int steps);
};

} // namespace client
