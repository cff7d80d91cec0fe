// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Log lines for the systemd journal. When standard output or error is the
// journal's stream (JOURNAL_STREAM names its device and inode), every line starts
// with its syslog priority ("<3>" error, "<4>" warning, "<6>" information, "<7>"
// the per-message lines) and carries no time stamp of its own: the journal keeps
// its own, and `journalctl -p err` then finds the errors.
#include <string>
#include <string_view>

namespace server {

// True when fd is the stream JOURNAL_STREAM names.
bool IsJournalStream(int fd);

// The priority of a log line (its text, without the time stamp).
int LinePriority(std::string_view text);

// "[hh:mm:ss] TEXT" as the journal wants it: "<p>TEXT".
std::string ForJournal(std::string_view stampedLine);

} // namespace server
