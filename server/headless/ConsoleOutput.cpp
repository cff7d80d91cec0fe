// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/headless/ConsoleOutput.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <poll.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace server {

struct ConsoleOutput::Shared {
    explicit Shared(int descriptor) : fd(descriptor) {}

    // The writer thread: blocking writes, one chunk at a time, until told to end.
    void Run() {
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [&] { return ending || !queue.empty(); });
            if (queue.empty())
                return;
            std::string chunk = std::move(queue.front());
            queue.pop_front();
            lock.unlock();
            const bool ok = WriteAll(chunk);
            lock.lock();
            if (!ok) {
                broken = true;
                queue.clear();
                queued = 0;
            } else {
                queued -= chunk.size();
            }
            drained.notify_all();
        }
    }

    bool WriteAll(const std::string& chunk) const {
        std::size_t done = 0;
        while (done < chunk.size()) {
            const ssize_t n = ::write(fd, chunk.data() + done, chunk.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
            } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                // Someone else made the description non-blocking: wait for room.
                pollfd p{fd, POLLOUT, 0};
                ::poll(&p, 1, 200);
            } else if (!(n < 0 && errno == EINTR)) {
                return false; // nobody reads any more
            }
        }
        return true;
    }

    const int fd;
    std::mutex mutex;
    std::condition_variable wake, drained;
    std::deque<std::string> queue;
    std::size_t queued = 0; // bytes in queue and being written
    std::size_t dropped = 0;
    bool broken = false;
    bool ending = false;
};

ConsoleOutput::ConsoleOutput(int fd, std::size_t maxWaiting)
    : shared_(std::make_shared<Shared>(fd)), max_(maxWaiting) {
    std::thread([shared = shared_] { shared->Run(); }).detach();
}

ConsoleOutput::~ConsoleOutput() {
    Flush();
    std::unique_lock lock(shared_->mutex);
    shared_->drained.wait_for(lock, std::chrono::milliseconds(kLastWordsMs),
                              [&] { return shared_->queued == 0 || shared_->broken; });
    shared_->ending = true;
    shared_->wake.notify_all();
}

bool ConsoleOutput::Room(std::size_t bytes) {
    std::lock_guard lock(shared_->mutex);
    if (shared_->broken)
        return false;
    if (shared_->queued + buffer_.size() + bytes > max_) {
        ++shared_->dropped;
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
    if (buffer_.size() >= kFlushAt)
        Flush();
}

void ConsoleOutput::AppendUtf8(std::string_view text) {
    if (Room(text.size()))
        buffer_.append(text);
}

void ConsoleOutput::Flush() {
    if (buffer_.empty())
        return;
    std::lock_guard lock(shared_->mutex);
    if (!shared_->broken) {
        shared_->queued += buffer_.size();
        shared_->queue.push_back(std::move(buffer_));
        shared_->wake.notify_one();
    }
    buffer_.clear();
}

std::size_t ConsoleOutput::Pending() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->queued + buffer_.size();
}

std::size_t ConsoleOutput::Dropped() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->dropped;
}

std::size_t ConsoleOutput::TakeDroppedOnceCaughtUp() {
    std::lock_guard lock(shared_->mutex);
    if (shared_->dropped == 0 || shared_->queued > 0 || !buffer_.empty() || shared_->broken)
        return 0;
    return std::exchange(shared_->dropped, 0);
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
