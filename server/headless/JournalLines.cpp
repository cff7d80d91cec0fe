// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/headless/JournalLines.h"

#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>

namespace server {

bool IsJournalStream(int fd) {
    const char* value = std::getenv("JOURNAL_STREAM");
    unsigned long long device = 0, inode = 0;
    if (!value || std::sscanf(value, "%llu:%llu", &device, &inode) != 2)
        return false;
    struct stat st {};
    return ::fstat(fd, &st) == 0 && st.st_dev == device && st.st_ino == inode;
}

int LinePriority(std::string_view text) {
    const auto has = [&](std::string_view part) { return text.find(part) != std::string_view::npos; };
    if (has("kon niet worden gestart") || has("mislukt") || has("Kan de ") || has("Kan het "))
        return 3;
    if (has("ongeldig") || has("beschadigd") || has("overgeslagen") || has("Geen bestandsdescriptors") ||
        has("alle plaatsen zijn bezet") || has("Te veel onverzonden") || has("genegeerd"))
        return 4;
    if (has(" IN <- ") || has("UIT -> "))
        return 7;
    return 6;
}

std::string ForJournal(std::string_view line) {
    // "[hh:mm:ss] " is eleven characters.
    if (line.size() >= 11 && line[0] == '[' && line[9] == ']' && line[10] == ' ')
        line.remove_prefix(11);
    std::string out = "<";
    out += char('0' + LinePriority(line));
    out += '>';
    out.append(line);
    return out;
}

} // namespace server
