// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/core/LogModel.h"

#include <QByteArray>
#include <algorithm>
#include <cstdio>

namespace server {

namespace {
// Once this much dead text sits in front of the live text, it is dropped in one move.
constexpr std::size_t kCompactAt = 64 * 1024;

// Control bytes (C0 but TAB, DEL, and C1 in Latin-1) would break lines, forge
// log lines or reach a terminal as escape sequences.
bool IsControl(unsigned char c) {
    return (c < 0x20 && c != '\t') || (c >= 0x7F && c <= 0x9F);
}
} // namespace

std::string_view EscapeControlBytes(std::string_view text, std::string& scratch) {
    const auto first = std::find_if(text.begin(), text.end(),
                                    [](char c) { return IsControl(static_cast<unsigned char>(c)); });
    if (first == text.end())
        return text;
    static constexpr char kHex[] = "0123456789ABCDEF";
    scratch.assign(text.begin(), first);
    for (auto it = first; it != text.end(); ++it) {
        const auto c = static_cast<unsigned char>(*it);
        if (IsControl(c)) {
            const char escape[4] = {'\\', 'x', kHex[c >> 4], kHex[c & 15]};
            scratch.append(escape, 4);
        } else {
            scratch += *it;
        }
    }
    return scratch;
}

LogModel::LogModel(QObject* parent) : QObject(parent) {
    buffer_.reserve(kMaxChars + kCompactAt + 512);
}

const std::string& LogModel::TimePrefix() {
    const std::time_t now = fixedTime_ != 0 ? fixedTime_ : std::time(nullptr);
    if (now != cachedSecond_) {
        cachedSecond_ = now;
        std::tm local{};
        localtime_r(&now, &local);
        char text[16];
        const int n =
            std::snprintf(text, sizeof text, "[%02d:%02d:%02d] ", local.tm_hour, local.tm_min, local.tm_sec);
        prefix_.assign(text, static_cast<std::size_t>(n));
    }
    return prefix_;
}

void LogModel::AddLog(const QString& text) {
    const QByteArray bytes = text.toLatin1();
    AddLog(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

void LogModel::AddLog(std::string_view raw) {
    const std::string_view text = EscapeControlBytes(raw, escaped_);
    const std::size_t lineStart = buffer_.size();
    buffer_.append(TimePrefix());
    buffer_.append(text);
    if (sink_)
        sink_(std::string_view(buffer_).substr(lineStart));
    buffer_.append("\r\n", 2);

    // Over the limit: cut up to and including the first CR LF that starts at or
    // after position (length - limit), counting from 1, so whole lines go.
    const std::size_t length = buffer_.size() - start_;
    if (length > kMaxChars) {
        const std::size_t from = start_ + (length - kMaxChars) - 1;
        const std::size_t crlf = buffer_.find("\r\n", from);
        // The line just added ends with CR LF, so one is always found.
        const std::size_t newStart = crlf + 2;
        cutTotal_ += newStart - start_;
        start_ = newStart;
        if (start_ >= kCompactAt) {
            buffer_.erase(0, start_);
            start_ = 0;
        }
    }
    if (!signalled_) {
        signalled_ = true;
        emit linesAdded();
    }
}

QString LogModel::Text() const {
    const std::string_view live = Bytes();
    return QString::fromLatin1(live.data(), static_cast<qsizetype>(live.size()));
}

LogModel::Delta LogModel::TakeDelta() {
    Delta delta;
    const std::uint64_t end = cutTotal_ + size();
    if (!fetched_ || cutTotal_ >= viewEnd_) {
        // First fetch, or everything the view shows has been cut meanwhile.
        delta.reset = true;
        delta.append = Text();
    } else {
        delta.removeFront = static_cast<std::size_t>(cutTotal_ - viewCut_);
        const std::size_t newFrom = static_cast<std::size_t>(viewEnd_ - cutTotal_);
        const std::string_view fresh = Bytes().substr(newFrom);
        delta.append = QString::fromLatin1(fresh.data(), static_cast<qsizetype>(fresh.size()));
    }
    fetched_ = true;
    viewCut_ = cutTotal_;
    viewEnd_ = end;
    signalled_ = false;
    return delta;
}

} // namespace server
