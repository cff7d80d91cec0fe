// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/headless/ConsoleOutput.h"

#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace server {

namespace {
// Waits until fd takes bytes again, at most a moment (stdout set non-blocking by someone else).
void WaitWritable(int fd) {
    pollfd p{fd, POLLOUT, 0};
    ::poll(&p, 1, 100);
}
} // namespace

void ConsoleOutput::AppendLatin1Line(std::string_view line) {
    if (broken_)
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
    if (buffer_.size() >= kFlushAt)
        Flush();
}

void ConsoleOutput::AppendUtf8(std::string_view text) {
    if (!broken_)
        buffer_.append(text);
}

void ConsoleOutput::Flush() {
    std::size_t done = 0;
    while (done < buffer_.size() && !broken_) {
        const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            WaitWritable(fd_);
        } else {
            broken_ = true; // nobody reads any more
        }
    }
    buffer_.clear();
}

void WriteNow(int fd, std::string_view text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (n < 0 && errno == EINTR)
            continue;
        else
            return;
    }
}

} // namespace server
