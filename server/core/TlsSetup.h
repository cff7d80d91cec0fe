// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the server's certificate comes from: the files it was given, or its
// own, made on first start and kept beside the settings (key readable by the
// owner only). Loading again (a renewed certificate) makes a new context; the
// one in use stays when that fails.
#include "net/TlsContext.h"

#include <QString>
#include <memory>

namespace server {

class TlsSetup {
public:
    // Empty certificate: the server's own. Empty key: it is in the certificate file.
    void setFiles(const QString& certificate, const QString& key);
    // Loads the certificate (making the server's own first when there is none).
    // False, with a readable reason, when that fails; the context in use stays.
    bool Load(QString* error);

    std::shared_ptr<net::TlsContext> Context() const { return context_; }
    QString Fingerprint() const { return context_ ? context_->fingerprint() : QString(); }
    // The files in use, and whether the last Load() made them.
    QString CertificatePath() const;
    QString KeyPath() const;
    bool MadeOwn() const { return madeOwn_; }

    // The server's own files, beside the settings store.
    static QString OwnCertificatePath();
    static QString OwnKeyPath();

private:
    QString certificate_, key_;
    std::shared_ptr<net::TlsContext> context_;
    bool madeOwn_ = false;
};

} // namespace server
