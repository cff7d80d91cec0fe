// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/SelfSignedCertificate.h"

#include "net/TlsContext.h"

#include <QFile>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <unistd.h>

namespace net {

namespace {

// Nobody renews it by hand; the fingerprint is what clients remember.
constexpr long kValidSeconds = 20L * 366 * 24 * 3600;
// Clocks a little behind ours still accept it.
constexpr long kBackdateSeconds = 24L * 3600;

struct FreeKey {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct FreeCertificate {
    void operator()(X509* cert) const { X509_free(cert); }
};
struct CloseFile {
    void operator()(FILE* file) const { std::fclose(file); }
};

bool Fail(QString* error, const QString& what) {
    if (error)
        *error = what;
    return false;
}

bool AddExtension(X509* cert, int nid, const char* value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
    if (!extension)
        return false;
    const bool added = X509_add_ext(cert, extension, -1) == 1;
    X509_EXTENSION_free(extension);
    return added;
}

std::unique_ptr<X509, FreeCertificate> SignedCertificate(EVP_PKEY* key, const QString& commonName) {
    std::unique_ptr<X509, FreeCertificate> cert(X509_new());
    if (!cert)
        return nullptr;
    unsigned char serial[16];
    if (RAND_bytes(serial, sizeof serial) != 1)
        return nullptr;
    serial[0] &= 0x7F; // a positive number
    BIGNUM* number = BN_bin2bn(serial, sizeof serial, nullptr);
    const bool serialSet = number && BN_to_ASN1_INTEGER(number, X509_get_serialNumber(cert.get()));
    BN_free(number);
    const QByteArray name = commonName.toUtf8().left(64);
    X509_NAME* subject = X509_get_subject_name(cert.get());
    if (!serialSet || X509_set_version(cert.get(), 2) != 1 ||
        !X509_gmtime_adj(X509_getm_notBefore(cert.get()), -kBackdateSeconds) ||
        !X509_gmtime_adj(X509_getm_notAfter(cert.get()), kValidSeconds) ||
        X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_UTF8,
                                   reinterpret_cast<const unsigned char*>(name.constData()), -1, -1,
                                   0) != 1 ||
        X509_set_issuer_name(cert.get(), subject) != 1 || X509_set_pubkey(cert.get(), key) != 1 ||
        !AddExtension(cert.get(), NID_basic_constraints, "critical,CA:FALSE") ||
        !AddExtension(cert.get(), NID_key_usage, "critical,digitalSignature") ||
        !AddExtension(cert.get(), NID_ext_key_usage, "serverAuth") ||
        X509_sign(cert.get(), key, EVP_sha256()) <= 0)
        return nullptr;
    return cert;
}

// Opens a new file with the mode; never one that exists.
std::unique_ptr<FILE, CloseFile> CreateFile(const QString& path, mode_t mode) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0)
        return nullptr;
    FILE* file = ::fdopen(fd, "w");
    if (!file)
        ::close(fd);
    return std::unique_ptr<FILE, CloseFile>(file);
}

} // namespace

bool MakeSelfSignedCertificate(const QString& certificatePath, const QString& keyPath,
                               const QString& commonName, QString* error) {
    if (QFile::exists(certificatePath) || QFile::exists(keyPath))
        return Fail(error, QStringLiteral("\"%1\" of \"%2\" bestaat al").arg(certificatePath, keyPath));
    std::unique_ptr<EVP_PKEY, FreeKey> key(EVP_EC_gen("P-256"));
    if (!key)
        return Fail(error, QStringLiteral("geen sleutel gemaakt: ") + LastTlsError());
    const auto cert = SignedCertificate(key.get(), commonName);
    if (!cert)
        return Fail(error, QStringLiteral("geen certificaat gemaakt: ") + LastTlsError());

    // The key first: a certificate without its key would block the next try.
    {
        auto file = CreateFile(keyPath, 0600);
        if (!file ||
            PEM_write_PrivateKey(file.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1 ||
            std::fflush(file.get()) != 0) {
            file.reset();
            QFile::remove(keyPath);
            return Fail(error, QStringLiteral("kan \"%1\" niet schrijven").arg(keyPath));
        }
    }
    auto file = CreateFile(certificatePath, 0644);
    if (!file || PEM_write_X509(file.get(), cert.get()) != 1 || std::fflush(file.get()) != 0) {
        file.reset();
        QFile::remove(certificatePath);
        QFile::remove(keyPath);
        return Fail(error, QStringLiteral("kan \"%1\" niet schrijven").arg(certificatePath));
    }
    return true;
}

} // namespace net
