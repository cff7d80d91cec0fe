// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/headless/ConsoleOutput.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace server {

bool ConsoleOutput::Room(std::size_t bytes) {
    if (broken_)
        return false;
    if (Pending() + bytes > max_) {
        ++dropped_;
        return false;
    }
    return true;
}

void ConsoleOutput::AppendLatin1Line(std::string_view line) {
    // Each byte from 0x80 on takes two in UTF-8.
    const auto wide = std::count_if(line.begin(), line.end(), [](char c) { return (c & 0x80) != 0; });
    if (!Room(line.size() + std::size_t(wide) + 1))
        return;
    std::size_t run = 0; // start of the pending run of plain ASCII
    for (std::size_t i = 0; i < line.size(); ++i) {
        const auto c = static_cast<unsigned char>(line[i]);
        if (c < 0x80)
            continue;
        buffer_.append(line.substr(run, i - run));
        buffer_ += static_cast<char>(0xC0 | (c >> 6));
        buffer_ += static_cast<char>(0x80 | (c & 0x3F));
        run = i + 1;
    }
    buffer_.append(line.substr(run));
    buffer_ += '\n';
    if (Pending() >= kFlushAt)
        Flush();
}

void ConsoleOutput::AppendUtf8(std::string_view text) {
    if (Room(text.size()))
        buffer_.append(text);
}

void ConsoleOutput::Flush() {
    while (sent_ < buffer_.size() && !broken_) {
        const ssize_t n = ::write(fd_, buffer_.data() + sent_, buffer_.size() - sent_);
        if (n > 0)
            sent_ += static_cast<std::size_t>(n);
        else if (n < 0 && errno == EINTR)
            continue;
        else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break; // the rest waits for the reader
        else
            broken_ = true; // nobody reads any more
    }
    if (sent_ == buffer_.size() || broken_) {
        buffer_.clear();
        sent_ = 0;
    } else if (sent_ >= kFlushAt) {
        buffer_.erase(0, sent_);
        sent_ = 0;
    }
}

std::size_t ConsoleOutput::TakeDroppedOnceCaughtUp() {
    if (dropped_ == 0 || Pending() > 0 || broken_)
        return 0;
    const std::size_t n = dropped_;
    dropped_ = 0;
    return n;
}

void WriteNow(int fd, std::string_view text) {
    std::size_t done = 0;
    for (int waits = 0; done < text.size() && waits < 50;) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, 100);
            ++waits; // a reader that takes nothing for seconds gets no more
        } else {
            return;
        }
    }
}

QString EscapeForTerminal(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != u'\t' && u != u'\n') || (u >= 0x7F && u <= 0x9F))
            out += QStringLiteral("\\x") + QString::number(u, 16).toUpper().rightJustified(2, u'0');
        else
            out += c;
    }
    return out;
}

} // namespace server
