// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/server/LoadTls.h"

#include <cerrno>
#include <openssl/err.h>
#include <openssl/ssl.h>

namespace loadgen {

TlsClientContext::TlsClientContext() {
    ctx_ = SSL_CTX_new(TLS_client_method());
    if (!ctx_)
        return;
    SSL_CTX_set_verify(ctx_, SSL_VERIFY_NONE, nullptr);
    SSL_CTX_set_read_ahead(ctx_, 1); // fewer system calls on the generator's side
    SSL_CTX_set_min_proto_version(ctx_, TLS1_2_VERSION);
    // Each client's memory stays small too: thousands of them run in this process.
    SSL_CTX_set_mode(ctx_, SSL_MODE_RELEASE_BUFFERS | SSL_MODE_ENABLE_PARTIAL_WRITE |
                               SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
}

TlsClientContext::~TlsClientContext() {
    SSL_CTX_free(ctx_);
}

TlsLink::~TlsLink() {
    SSL_free(ssl_);
}

bool TlsLink::Start(const TlsClientContext& context, int fd) {
    ssl_ = SSL_new(context.handle());
    if (!ssl_ || SSL_set_fd(ssl_, fd) != 1)
        return false;
    SSL_set_connect_state(ssl_);
    return true;
}

int TlsLink::Handshake() {
    ERR_clear_error();
    const int rc = SSL_do_handshake(ssl_);
    if (rc == 1) {
        established_ = true;
        wantsWrite_ = false;
        return 1;
    }
    return Result(rc) < 0 && errno == EAGAIN ? 0 : -1;
}

ssize_t TlsLink::Read(char* data, std::size_t size) {
    ERR_clear_error();
    const int n = SSL_read(ssl_, data, int(size));
    return n > 0 ? n : Result(n);
}

ssize_t TlsLink::Write(const char* data, std::size_t size) {
    ERR_clear_error();
    const int n = SSL_write(ssl_, data, int(size));
    if (n > 0)
        wantsWrite_ = false;
    return n > 0 ? n : Result(n);
}

ssize_t TlsLink::Result(int rc) {
    const int error = SSL_get_error(ssl_, rc);
    ERR_clear_error();
    wantsWrite_ = error == SSL_ERROR_WANT_WRITE;
    if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
        errno = EAGAIN;
        return -1;
    }
    if (error == SSL_ERROR_ZERO_RETURN)
        return 0;
    errno = ECONNRESET;
    return -1;
}

} // namespace loadgen
