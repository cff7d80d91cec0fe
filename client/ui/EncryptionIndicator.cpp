// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/ui/EncryptionIndicator.h"

#include "client/core/ClientSession.h"
#include "client/core/TrustDecision.h"
#include "client/ui/frmMain.h"
#include "net/Winsock.h"
#include <QToolBar>

namespace client {

const QString EncryptionIndicator::kEncrypted = QStringLiteral("Versleuteld (TLS)");
const QString EncryptionIndicator::kPlain = QStringLiteral("Niet versleuteld");

EncryptionIndicator::EncryptionIndicator(frmMain& main) : QLabel(main.Toolbar1), main_(main) {
    setObjectName(QStringLiteral("lblEncryption"));
    setContentsMargins(8, 0, 8, 0);
    auto* spacer = new QWidget(main.Toolbar1);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    main.Toolbar1->addWidget(spacer);
    main.Toolbar1->addWidget(this);
    connect(main.Session, &ClientSession::sessionStarted, this, &EncryptionIndicator::sessionStarted);
    connect(main.Session, &ClientSession::sessionClosed, this, [this] {
        clear();
        setToolTip(QString());
    });
}

void EncryptionIndicator::sessionStarted() {
    const bool encrypted = main_.Winsock1->isEncrypted();
    setText(encrypted ? kEncrypted : kPlain);
    setToolTip(encrypted ? QStringLiteral("Vingerafdruk van de server (SHA-256):\n") +
                               CertificateFingerprint(main_.Winsock1->peerCertificateDer())
                         : QStringLiteral("Alles gaat leesbaar over het netwerk."));
}

} // namespace client
