// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The client's command line: [--plain] [server[:port] [password]]
//
//   "host"            host, port 12345
//   "host:4000 pw"    host, port 4000, password "pw"
//   "host:4000  pw"   two spaces: the password is the empty second word
//   "[2001:db8::1]:4000"   an IPv6 address with a port (see HostText.h)
// "/?", "/h", "-h" or "--help" anywhere in the text asks for the syntax message,
// even inside a host name ("mail-host.nl") or a password: the whole text is searched.
// The word "--plain", wherever it stands, connects without encryption for this run.
#include <QString>

namespace client {

inline const QString kCommandLineSyntax =
    QStringLiteral("Syntaxis: ZINDLECHAT.EXE [server[:port] [password]]");
inline const QString kDefaultPort = QStringLiteral("12345");

struct CommandLine {
    enum class Kind { Empty, Help, Connect };
    Kind kind = Kind::Empty;
    QString host, port, password;
    bool hasPassword = false; // a second word was given (it may be empty)
    bool plain = false;       // "--plain": no encryption this run
};

// args: the program's arguments joined by single spaces.
CommandLine ParseCommandLine(const QString& args);

// Writes the syntax text and a line feed to fd when fd is a terminal: someone who
// asked for help there reads it there, besides the message box. True if written.
bool EchoSyntaxToTerminal(int fd);

} // namespace client
