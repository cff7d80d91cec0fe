// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The server's log text, without any widget: "[hh:mm:ss] TEXT\r\n" lines, oldest
// first, never more than 20,000 characters. Appending is cheap (no rebuild of the
// whole text, the time prefix is formatted once per second), because the relay
// path logs while it relays. Views fetch the text once and then only the changes.
#include <QObject>
#include <QString>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>

namespace server {

// The text with every control byte (C0 but TAB, DEL, 0x80-0x9F) written as a
// visible "\xHH"; the text itself when it holds none, else a view of scratch.
std::string_view EscapeControlBytes(std::string_view text, std::string& scratch);

class LogModel : public QObject {
    Q_OBJECT
public:
    static constexpr std::size_t kMaxChars = 20000;

    explicit LogModel(QObject* parent = nullptr);

    // Appends one line: time prefix, the text (control bytes escaped), CR LF; then
    // cuts whole lines from the top while the text is longer than kMaxChars.
    void AddLog(std::string_view text);
    void AddLog(const QString& text);

    // The whole current text (Latin-1), each line ending with CR LF.
    QString Text() const;
    std::string_view Bytes() const { return std::string_view(buffer_).substr(start_); }
    std::size_t size() const { return buffer_.size() - start_; }

    // Changes since the previous TakeDelta(): the view removes removeFront
    // characters from the top of what it shows and appends append. When reset is
    // true the view replaces everything it shows with append (it fell too far
    // behind, or fetches for the first time).
    struct Delta {
        bool reset = false;
        std::size_t removeFront = 0;
        QString append;
    };
    Delta TakeDelta();

    // Every formatted line, as it is added (without CR LF): the console writes
    // these to stdout. Called synchronously; keep it cheap.
    using LineSink = std::function<void(std::string_view line)>;
    void setLineSink(LineSink sink) { sink_ = std::move(sink); }

    // Test hook: a fixed clock instead of the local time (seconds since the epoch;
    // 0 goes back to the real clock).
    void setFixedTime(std::time_t t) { fixedTime_ = t; }

signals:
    // Emitted once after new text arrived, then not again until TakeDelta().
    void linesAdded();

private:
    const std::string& TimePrefix();

    std::string buffer_; // text starts at start_; the dead front is dropped in chunks
    std::size_t start_ = 0;
    std::uint64_t cutTotal_ = 0; // characters cut from the top since the beginning
    std::uint64_t viewCut_ = 0;  // cutTotal_ at the last TakeDelta()
    std::uint64_t viewEnd_ = 0;  // absolute end of the text at the last TakeDelta()
    bool fetched_ = false;
    bool signalled_ = false;
    std::time_t cachedSecond_ = -1;
    std::time_t fixedTime_ = 0;
    std::string prefix_;
    std::string escaped_;
    LineSink sink_;
};

} // namespace server
