// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The server's TLS settings, shared by every encrypted connection: one OpenSSL
// context holding the certificate chain and key. A renewed certificate goes into
// a new context; connections made before keep the one they started with.
#include <QString>
#include <memory>

struct ssl_ctx_st;
struct x509_st;

namespace net {

class TlsContext {
public:
    // Loads a PEM certificate file (the server's certificate first, then any
    // chain) and its PEM key. nullptr, with a readable reason, when they do not
    // load or do not belong together.
    static std::shared_ptr<TlsContext> Load(const QString& certificatePath, const QString& keyPath,
                                            QString* error);
    ~TlsContext();
    TlsContext(const TlsContext&) = delete;
    TlsContext& operator=(const TlsContext&) = delete;

    ssl_ctx_st* handle() const { return ctx_; }
    // SHA-256 of the server certificate (DER), as "AB:CD:...".
    const QString& fingerprint() const { return fingerprint_; }

private:
    explicit TlsContext(ssl_ctx_st* ctx) : ctx_(ctx) {}
    ssl_ctx_st* ctx_;
    QString fingerprint_;
};

// SHA-256 of a certificate's DER form as 32 upper-case hex pairs joined by ':'.
QString CertificateFingerprint(x509_st* certificate);
// The reason of the last OpenSSL failure on this thread (and clears the queue).
QString LastTlsError();

} // namespace net
