// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/ZindleFraming.h"

namespace ZindleWire {

SplitResult SplitMessages(std::string_view buffer) {
    SplitResult result;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t nul = buffer.find(kTerminator, pos);
        if (nul == std::string_view::npos)
            break;
        result.messages.push_back(buffer.substr(pos, nul - pos));
        pos = nul + 1;
    }
    result.rest = buffer.substr(pos);
    return result;
}

void AppendFrame(std::string& out, std::string_view text, bool specialPacket) {
    if (specialPacket)
        out.append(kCommandPrefix);
    out.append(text);
    out += kTerminator;
}

std::string Frame(std::string_view text, bool specialPacket) {
    std::string out;
    out.reserve(text.size() + 3);
    AppendFrame(out, text, specialPacket);
    return out;
}

} // namespace ZindleWire
