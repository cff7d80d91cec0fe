// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One encrypted connection on the server side. OpenSSL reads the records
// straight from the socket (only when the connection table says so), and the
// records it writes go into the connection's send queue instead of the socket,
// so the table keeps full control over when bytes leave and how many wait.
// Plaintext to send is gathered and sealed in one go per pass.
#include <cstddef>
#include <string>

struct ssl_st;

namespace net {

class SendQueue;
class TlsContext;

class TlsSession {
public:
    // fd stays the caller's; records to send are appended to sink.
    TlsSession(const TlsContext& context, int fd, SendQueue& sink);
    ~TlsSession();
    TlsSession(const TlsSession&) = delete;
    TlsSession& operator=(const TlsSession&) = delete;

    // False when the session could not be made (out of memory).
    bool ok() const { return ssl_ != nullptr; }

    // Moves the handshake on with what the socket holds. False once it failed.
    bool handshake();
    bool established() const { return established_; }
    // The peer broke the protocol or ended the session (close_notify, or the
    // connection's end in the middle of a record).
    bool ended() const { return ended_; }

    // Appends the plaintext of every whole record the socket holds to out, while
    // fewer than limit bytes were taken; returns how many bytes.
    std::size_t readPlain(std::string& out, std::size_t limit);

    // Plaintext to send, gathered until seal().
    void queue(const char* data, std::size_t size) { plain_.append(data, size); }
    std::size_t queued() const { return plain_.size(); }
    void dropQueued();
    // Encrypts everything gathered (once the handshake is done) into the sink;
    // returns how many plaintext bytes it took.
    std::size_t seal();
    // Says goodbye to the peer (close_notify) behind what was sealed.
    void shutdown();

private:
    ssl_st* ssl_ = nullptr;
    std::string plain_;
    bool established_ = false;
    bool ended_ = false;
};

} // namespace net
