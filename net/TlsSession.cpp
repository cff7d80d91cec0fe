// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/TlsSession.h"

#include "net/SendQueue.h"
#include "net/TlsContext.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>

namespace net {

namespace {

// Plaintext taken per SSL_read: a whole record, so nothing decrypted stays behind.
constexpr int kReadChunk = 16 * 1024;
constexpr std::size_t kKeptPlainBytes = 4096;

// The write side: records go into a SendQueue, never straight to the socket.
int QueueWrite(BIO* bio, const char* data, int size) {
    if (size <= 0)
        return 0;
    static_cast<SendQueue*>(BIO_get_data(bio))->append(data, std::size_t(size));
    return size;
}

long QueueControl(BIO*, int command, long, void*) {
    return command == BIO_CTRL_FLUSH ? 1 : 0;
}

int QueueCreate(BIO* bio) {
    BIO_set_init(bio, 1);
    return 1;
}

BIO_METHOD* QueueMethod() {
    static BIO_METHOD* method = [] {
        BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "send queue");
        if (m) {
            BIO_meth_set_write(m, QueueWrite);
            BIO_meth_set_ctrl(m, QueueControl);
            BIO_meth_set_create(m, QueueCreate);
        }
        return m;
    }();
    return method;
}

// True when the call only has to wait for the peer.
bool OnlyWaiting(ssl_st* ssl, int rc) {
    const int error = SSL_get_error(ssl, rc);
    ERR_clear_error();
    return error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE;
}

} // namespace

TlsSession::TlsSession(const TlsContext& context, int fd, SendQueue& sink) {
    BIO_METHOD* method = QueueMethod();
    ssl_ = method ? SSL_new(context.handle()) : nullptr;
    if (!ssl_)
        return;
    BIO* in = BIO_new_socket(fd, BIO_NOCLOSE);
    BIO* out = BIO_new(method);
    if (!in || !out) {
        BIO_free(in);
        BIO_free(out);
        SSL_free(ssl_);
        ssl_ = nullptr;
        return;
    }
    BIO_set_data(out, &sink);
    SSL_set_bio(ssl_, in, out);
    SSL_set_accept_state(ssl_);
}

TlsSession::~TlsSession() {
    SSL_free(ssl_);
}

bool TlsSession::handshake() {
    if (established_ || ended_)
        return !ended_;
    ERR_clear_error();
    const int rc = SSL_do_handshake(ssl_);
    if (rc == 1)
        established_ = true;
    else if (!OnlyWaiting(ssl_, rc))
        ended_ = true;
    return !ended_;
}

std::size_t TlsSession::readPlain(std::string& out, std::size_t limit) {
    std::size_t total = 0;
    while (established_ && !ended_ && total < limit) {
        const std::size_t before = out.size();
        out.resize(before + kReadChunk);
        ERR_clear_error();
        const int n = SSL_read(ssl_, out.data() + before, kReadChunk);
        out.resize(before + (n > 0 ? std::size_t(n) : 0));
        if (n <= 0) {
            if (!OnlyWaiting(ssl_, n))
                ended_ = true;
            break;
        }
        total += std::size_t(n);
    }
    return total;
}

void TlsSession::dropQueued() {
    // Room for the next pass's few lines stays; a burst's room goes.
    if (plain_.capacity() > kKeptPlainBytes)
        std::string().swap(plain_);
    else
        plain_.clear();
}

std::size_t TlsSession::seal() {
    if (!established_ || ended_ || plain_.empty())
        return 0;
    ERR_clear_error();
    // The queue takes everything, so one call seals it all.
    const int n = SSL_write(ssl_, plain_.data(), int(plain_.size()));
    if (n <= 0) {
        ERR_clear_error();
        ended_ = true;
        return 0;
    }
    const std::size_t taken = plain_.size();
    dropQueued();
    return taken;
}

void TlsSession::shutdown() {
    if (established_ && !ended_) {
        ERR_clear_error();
        SSL_shutdown(ssl_);
        ERR_clear_error();
    }
}

} // namespace net
