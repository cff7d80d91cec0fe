// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The load generator's TLS side: one client context for the run and one
// session per connection over its non-blocking socket. Certificates are not
// checked: the bench measures the server's cost, not trust.
#include <cstddef>
#include <sys/types.h>

struct ssl_ctx_st;
struct ssl_st;

namespace loadgen {

class TlsClientContext {
public:
    TlsClientContext();
    ~TlsClientContext();
    TlsClientContext(const TlsClientContext&) = delete;
    TlsClientContext& operator=(const TlsClientContext&) = delete;
    bool ok() const { return ctx_ != nullptr; }
    ssl_ctx_st* handle() const { return ctx_; }

private:
    ssl_ctx_st* ctx_ = nullptr;
};

class TlsLink {
public:
    TlsLink() = default;
    ~TlsLink();
    TlsLink(const TlsLink&) = delete;
    TlsLink& operator=(const TlsLink&) = delete;

    bool Start(const TlsClientContext& context, int fd);
    bool active() const { return ssl_ != nullptr; }
    bool established() const { return established_; }
    // 1 done, 0 waiting for the socket, -1 failed.
    int Handshake();
    // As recv()/send(): bytes, 0 for the end, -1 with errno EAGAIN when waiting
    // (or another errno when the session failed).
    ssize_t Read(char* data, std::size_t size);
    ssize_t Write(const char* data, std::size_t size);
    // The last Handshake/Write waits for the socket to be writable.
    bool wantsWrite() const { return wantsWrite_; }

private:
    ssize_t Result(int rc);
    ssl_st* ssl_ = nullptr;
    bool established_ = false;
    bool wantsWrite_ = false;
};

} // namespace loadgen
