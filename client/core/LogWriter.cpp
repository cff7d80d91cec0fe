// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/core/LogWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace client {

namespace {
constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
constexpr QFileDevice::Permissions kOwnerFolder = kOwnerOnly | QFileDevice::ExeOwner;
} // namespace

LogWriter::LogWriter(QObject* context, FailureHandler onFailure)
    : context_(context), onFailure_(std::move(onFailure)), worker_([this] { run(); }) {}

LogWriter::~LogWriter() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    worker_.join();
}

void LogWriter::append(const QString& path, const QString& text) {
    {
        std::lock_guard lock(mutex_);
        if (failed_ || stopping_)
            return;
        const std::size_t bytes = std::size_t(text.size()) * sizeof(QChar);
        if (queuedBytes_ + bytes > kMaxQueuedBytes) {
            ++dropped_[path];
            return;
        }
        queuedBytes_ += bytes;
        queue_.push_back({path, text});
    }
    wake_.notify_one();
}

void LogWriter::resume() {
    std::lock_guard lock(mutex_);
    failed_ = false;
}

bool LogWriter::failed() const {
    std::lock_guard lock(mutex_);
    return failed_;
}

bool LogWriter::waitWritten(int timeoutMs) {
    std::unique_lock lock(mutex_);
    return written_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [this] { return queue_.empty() && !busy_; });
}

bool LogWriter::writeFile(const QString& path, const QByteArray& bytes) {
    // The folders are made one by one, for the owner only: the logs hold private talk.
    const QString folder = QFileInfo(path).absolutePath();
    QStringList missing;
    for (QString dir = folder; !QFileInfo::exists(dir); dir = QFileInfo(dir).path()) {
        missing.prepend(dir);
        if (QFileInfo(dir).path() == dir)
            break;
    }
    for (const QString& dir : missing)
        if (!QDir().mkdir(dir, kOwnerFolder))
            return false;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append, kOwnerOnly))
        return false;
    const bool ok = file.write(bytes) == bytes.size() && file.flush();
    file.close();
    return ok && file.error() == QFileDevice::NoError;
}

void LogWriter::run() {
    for (;;) {
        std::deque<Entry> batch;
        std::map<QString, std::size_t> dropped;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (queue_.empty()) // stopping, and nothing left to write
                return;
            batch.swap(queue_);
            queuedBytes_ = 0;
            std::swap(dropped, dropped_);
            busy_ = true;
        }
        // Each file notes its own loss, before the first of its lines that did come.
        for (const auto& [path, count] : dropped) {
            const QString note =
                QStringLiteral("(%1 regels niet opgeslagen: de schijf hield het niet bij)\n").arg(count);
            const auto first =
                std::find_if(batch.begin(), batch.end(), [&](const Entry& e) { return e.path == path; });
            if (first != batch.end())
                first->text.prepend(note);
            else
                batch.push_back({path, note});
        }
        QString failedPath;
        // Consecutive lines for the same file go in one write.
        for (std::size_t i = 0; i < batch.size() && failedPath.isEmpty();) {
            QByteArray bytes;
            std::size_t j = i;
            for (; j < batch.size() && batch[j].path == batch[i].path; ++j)
                bytes += batch[j].text.toUtf8();
            if (!writeFile(batch[i].path, bytes))
                failedPath = batch[i].path;
            i = j;
        }
        bool report = false;
        {
            std::lock_guard lock(mutex_);
            busy_ = false;
            if (!failedPath.isEmpty() && !failed_) {
                failed_ = true;
                report = true;
                queue_.clear();
                queuedBytes_ = 0;
            }
        }
        written_.notify_all();
        if (report && context_) {
            // Told on the owner's thread; the writer may be gone by then.
            QMetaObject::invokeMethod(
                context_, [handler = onFailure_, failedPath] { handler(failedPath); }, Qt::QueuedConnection);
        }
    }
}

} // namespace client
