// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where and how a conversation line is kept on disk when logging is on: plain
// UTF-8 text, one file per server, partner and day:
//
//   <root>/<server>/kamer/2026-12-08.log            the room
//   <root>/<server>/prive/<partner>/2026-12-08.log  a private conversation
//
// <root> is $XDG_DATA_HOME/ZindleChat/logs (~/.local/share/... without it). Names
// come from the network, so each becomes one harmless path component.
#include <QDate>
#include <QString>
#include <QTime>

namespace client {

// One path component made of a name: no "/", no control character, never "."
// or ".." nor hidden, never empty, at most 64 characters. A name that had to be
// shortened or changed ends in "~" and a short hash of the whole name, so that
// different names never share a file.
QString SafeFileName(const QString& name);

QString DefaultLogRoot();

// `partner` empty means the room.
QString LogFilePath(const QString& root, const QString& server, const QString& partner, const QDate& day);

// A transcript line as the file keeps it: "[hh:mm:ss] " and the line, its CR LF
// pairs as line ends and other control characters written out as \xNN, ending
// with one line end.
QString LogLineText(const QTime& time, const QString& strData);

} // namespace client
