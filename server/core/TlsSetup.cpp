// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/core/TlsSetup.h"

#include "net/SelfSignedCertificate.h"
#include "net/SettingsStore.h"
#include "server/core/ServerSettings.h"

#include <QDir>
#include <QFileInfo>
#include <QHostInfo>

namespace server {

namespace {
QString BesideSettings(const QString& suffix) {
    const QFileInfo settings(net::SettingsFilePath(kSettingsApplication));
    return settings.dir().filePath(settings.completeBaseName() + suffix);
}
} // namespace

QString TlsSetup::OwnCertificatePath() {
    return BesideSettings(QStringLiteral(".crt"));
}

QString TlsSetup::OwnKeyPath() {
    return BesideSettings(QStringLiteral(".key"));
}

void TlsSetup::setFiles(const QString& certificate, const QString& key) {
    certificate_ = certificate;
    key_ = key;
}

QString TlsSetup::CertificatePath() const {
    return certificate_.isEmpty() ? OwnCertificatePath() : certificate_;
}

QString TlsSetup::KeyPath() const {
    if (certificate_.isEmpty())
        return OwnKeyPath();
    return key_.isEmpty() ? certificate_ : key_;
}

bool TlsSetup::Load(QString* error) {
    madeOwn_ = false;
    if (certificate_.isEmpty() && !key_.isEmpty()) {
        if (error)
            *error = QStringLiteral("een sleutel zonder certificaat");
        return false;
    }
    const QString certificate = CertificatePath();
    const QString key = KeyPath();
    if (certificate_.isEmpty() && !QFileInfo::exists(certificate) && !QFileInfo::exists(key)) {
        QDir().mkpath(QFileInfo(certificate).absolutePath());
        const QString host = QHostInfo::localHostName();
        if (!net::MakeSelfSignedCertificate(certificate, key,
                                            host.isEmpty() ? QStringLiteral("ZindleChat") : host, error))
            return false;
        madeOwn_ = true;
    }
    auto context = net::TlsContext::Load(certificate, key, error);
    if (!context)
        return false;
    context_ = std::move(context);
    return true;
}

} // namespace server
