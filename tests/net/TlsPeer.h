// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A TLS client for tests of the server's transport: OpenSSL over a RawPeer's
// non-blocking socket, every wait letting the event loop run (the transport
// lives on the same thread) and bounded in time.
#include "RawPeer.h"

#include <fcntl.h>
#include <memory>
#include <openssl/ssl.h>
#include <string>

namespace nettest {

class TlsPeer {
public:
    explicit TlsPeer(quint16 port, int receiveBuffer = 0, SSL_SESSION* resume = nullptr)
        : raw_(port, receiveBuffer) {
        // OpenSSL must never block: the server runs on this thread.
        ::fcntl(raw_.fd(), F_SETFL, ::fcntl(raw_.fd(), F_GETFL) | O_NONBLOCK);
        ctx_ = SSL_CTX_new(TLS_client_method());
        SSL_CTX_set_verify(ctx_, SSL_VERIFY_NONE, nullptr);
        ssl_ = SSL_new(ctx_);
        SSL_set_fd(ssl_, raw_.fd());
        if (resume)
            SSL_set_session(ssl_, resume);
    }
    ~TlsPeer() {
        SSL_free(ssl_);
        SSL_CTX_free(ctx_);
    }

    RawPeer& raw() { return raw_; }
    SSL* ssl() { return ssl_; }

    bool handshake(int timeoutMs = 5000) {
        return Until([&] { return SSL_connect(ssl_); }, timeoutMs);
    }
    bool sendAll(const std::string& bytes, int timeoutMs = 5000) {
        std::size_t sent = 0;
        return zindletest::WaitUntil(
                   [&] {
                       const int n = SSL_write(ssl_, bytes.data() + sent, int(bytes.size() - sent));
                       if (n > 0)
                           sent += std::size_t(n);
                       return sent == bytes.size() || (n <= 0 && !Waiting(n));
                   },
                   timeoutMs) &&
               sent == bytes.size();
    }
    // Plaintext until size bytes came, the session ended or the time is up.
    std::string readExactly(std::size_t size, int timeoutMs = 5000) {
        std::string got;
        zindletest::WaitUntil(
            [&] {
                readAvailable(got);
                return got.size() >= size || ended_;
            },
            timeoutMs);
        return got;
    }
    // True once the server said goodbye (close_notify).
    bool waitForGoodbye(int timeoutMs = 5000) {
        std::string ignored;
        return zindletest::WaitUntil(
                   [&] {
                       readAvailable(ignored);
                       return ended_;
                   },
                   timeoutMs) &&
               closeNotify_;
    }

private:
    void readAvailable(std::string& got) {
        char buffer[16384];
        for (;;) {
            const int n = SSL_read(ssl_, buffer, sizeof buffer);
            if (n > 0) {
                got.append(buffer, std::size_t(n));
                continue;
            }
            if (!Waiting(n)) {
                ended_ = true;
                closeNotify_ = SSL_get_error(ssl_, n) == SSL_ERROR_ZERO_RETURN;
            }
            return;
        }
    }
    bool Waiting(int rc) {
        const int error = SSL_get_error(ssl_, rc);
        return error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE;
    }
    template <typename Step> bool Until(Step step, int timeoutMs) {
        bool done = false;
        zindletest::WaitUntil(
            [&] {
                const int rc = step();
                done = rc == 1;
                return done || !Waiting(rc);
            },
            timeoutMs);
        return done;
    }

    RawPeer raw_;
    SSL_CTX* ctx_ = nullptr;
    SSL* ssl_ = nullptr;
    bool ended_ = false;
    bool closeNotify_ = false;
};

} // namespace nettest
