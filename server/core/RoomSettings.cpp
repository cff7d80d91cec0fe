// SPDX-License-Identifier: GPL-3.0-or-later
// The room's settings in effect: name, message of the day, password, chat log.
#include "common/ZindleEncrypt.h"
#include "common/ZindleMessages.h"
#include "common/ZindleVersion.h"
#include "server/core/CoreText.h"
#include "server/core/ServerCore.h"

namespace server {

namespace msg = ZindleMessages;

QString ServerCore::ServerNaam() const {
    return FromBytes(serverNaam_);
}
QString ServerCore::MOTD() const {
    return FromBytes(motd_);
}

void ServerCore::setServerNaam(const QString& naam) {
    std::string bytes = ToBytes(naam);
    if (bytes != serverNaam_) {
        serverNaam_ = std::move(bytes);
        emit committedChanged();
    }
}

void ServerCore::setMOTD(const QString& motd) {
    std::string bytes = ToBytes(motd);
    if (bytes != motd_) {
        motd_ = std::move(bytes);
        emit committedChanged();
    }
}

void ServerCore::setRoomPassword(const QString& plain) {
    roomPassword_ = plain;
}

void ServerCore::ApplyRoomPassword(const QString& plain) {
    roomPassword_ = plain;
    if (listening_)
        password_ = ZindleEncrypt::Encrypt(ToBytes(roomPassword_));
}

void ServerCore::setChatLog(bool on) {
    if (on != chatLog_) {
        chatLog_ = on;
        emit chatLogChanged(on);
    }
}

void ServerCore::SaveMOTD(const QString& naam, const QString& motd) {
    std::string newNaam = ToBytes(naam);
    std::string newMotd = ToBytes(motd);
    if (listening_) {
        const bool naamChanged = newNaam != serverNaam_;
        const bool motdChanged = newMotd != motd_;
        const std::string sinf = msg::BuildSinf(newNaam, ZindleVersion::ServerVersionText());
        const std::string motdMessage = msg::BuildMotd(newMotd);
        ForEachLoggedIn([&](int s) {
            if (naamChanged)
                SendToSlot(s, sinf, true);
            if (motdChanged)
                SendToSlot(s, motdMessage, true);
        });
    }
    const bool changed = newNaam != serverNaam_ || newMotd != motd_;
    serverNaam_ = std::move(newNaam);
    motd_ = std::move(newMotd);
    if (changed)
        emit committedChanged();
}

} // namespace server
