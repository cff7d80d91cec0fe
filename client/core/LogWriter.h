// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Appends text to files on a thread of its own, so that a slow or full disk
// never holds up the windows. append() only queues; the worker writes each
// batch, file by file, and closes the files again.
//
// The first failure (a folder that cannot be made, a file that cannot be
// opened, a write that does not go through) stops the writer: the queue is
// dropped and the failure is reported once, on the thread of `context`. The
// queue is bounded: lines that would pass the bound are counted per file, and
// the next batch notes in that file how many it lost.
#include <QObject>
#include <QString>

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace client {

class LogWriter {
public:
    static constexpr std::size_t kMaxQueuedBytes = 4 * 1024 * 1024;
    using FailureHandler = std::function<void(const QString& path)>;

    LogWriter(QObject* context, FailureHandler onFailure);
    // Writes what is queued, then ends the thread.
    ~LogWriter();
    LogWriter(const LogWriter&) = delete;
    LogWriter& operator=(const LogWriter&) = delete;

    void append(const QString& path, const QString& text);
    // Accept lines again after a failure (logging switched on anew).
    void resume();
    bool failed() const;
    // Waits until everything queued is written or given up; false after timeoutMs.
    bool waitWritten(int timeoutMs);

private:
    struct Entry {
        QString path;
        QString text;
    };
    void run();
    // Writes one file's share of a batch; the failing path's text when it does not work.
    bool writeFile(const QString& path, const QByteArray& bytes);

    QObject* context_; // outlives the writer
    FailureHandler onFailure_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable written_;
    std::deque<Entry> queue_;
    std::size_t queuedBytes_ = 0;
    std::map<QString, std::size_t> dropped_; // lines lost, by file
    bool busy_ = false;
    bool failed_ = false;
    bool stopping_ = false;
    std::thread worker_;
};

} // namespace client
