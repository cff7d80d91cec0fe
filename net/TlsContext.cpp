// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/TlsContext.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

namespace net {

namespace {
// Each ticket costs the server one encryption at the end of a handshake; one is
// enough for the next reconnect.
constexpr int kTicketsPerHandshake = 1;
} // namespace

QString LastTlsError() {
    const unsigned long code = ERR_peek_last_error();
    ERR_clear_error();
    if (code == 0)
        return QStringLiteral("onbekende fout");
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return QString::fromLatin1(text);
}

QString CertificateFingerprint(x509_st* certificate) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!certificate || X509_digest(certificate, EVP_sha256(), digest, &length) != 1)
        return QString();
    QString text;
    text.reserve(int(length) * 3);
    static const char hex[] = "0123456789ABCDEF";
    for (unsigned int i = 0; i < length; ++i) {
        if (i > 0)
            text += u':';
        text += QLatin1Char(hex[digest[i] >> 4]);
        text += QLatin1Char(hex[digest[i] & 0xF]);
    }
    return text;
}

std::shared_ptr<TlsContext> TlsContext::Load(const QString& certificatePath, const QString& keyPath,
                                             QString* error) {
    ERR_clear_error();
    SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
    if (!ctx) {
        if (error)
            *error = LastTlsError();
        return nullptr;
    }
    std::shared_ptr<TlsContext> context(new TlsContext(ctx));
    const QByteArray cert = certificatePath.toLocal8Bit();
    const QByteArray key = keyPath.toLocal8Bit();
    const auto fail = [&](const QString& what) {
        if (error)
            *error = what + QStringLiteral(": ") + LastTlsError();
        return nullptr;
    };
    if (SSL_CTX_use_certificate_chain_file(ctx, cert.constData()) != 1)
        return fail(QStringLiteral("certificaat \"%1\" niet te laden").arg(certificatePath));
    if (SSL_CTX_use_PrivateKey_file(ctx, key.constData(), SSL_FILETYPE_PEM) != 1)
        return fail(QStringLiteral("sleutel \"%1\" niet te laden").arg(keyPath));
    if (SSL_CTX_check_private_key(ctx) != 1)
        return fail(QStringLiteral("sleutel \"%1\" hoort niet bij het certificaat").arg(keyPath));

    SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
    SSL_CTX_set_options(ctx,
                        SSL_OP_NO_COMPRESSION | SSL_OP_NO_RENEGOTIATION | SSL_OP_CIPHER_SERVER_PREFERENCE);
    // Idle connections give their record buffers back; thousands of them wait.
    SSL_CTX_set_mode(ctx, SSL_MODE_RELEASE_BUFFERS);
    // Resumption rides on stateless tickets: nothing per session stays on the server.
    SSL_CTX_set_session_cache_mode(ctx, SSL_SESS_CACHE_OFF);
    SSL_CTX_set_num_tickets(ctx, kTicketsPerHandshake);
    static const unsigned char sessionContext[] = "zindlechat";
    SSL_CTX_set_session_id_context(ctx, sessionContext, sizeof sessionContext - 1);

    context->fingerprint_ = CertificateFingerprint(SSL_CTX_get0_certificate(ctx));
    return context;
}

TlsContext::~TlsContext() {
    SSL_CTX_free(ctx_);
}

} // namespace net
