// SPDX-License-Identifier: GPL-3.0-or-later
// Moderation: what the operator sees of a user, kick and ban, and the ban list.
#include "common/ZindleDivideCombine.h"
#include "common/ZindleMessages.h"
#include "net/PeerAddress.h"
#include "net/ServerTransport.h"
#include "server/core/CoreText.h"
#include "server/core/ServerCore.h"

#include <QHostInfo>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <memory>

namespace server {

namespace msg = ZindleMessages;

namespace {

// The notices of a kick or a ban end with backslash-r backslash-n as text: the
// client unescapes every chat line and so shows a line break.
constexpr std::string_view kKickedYou = "**Je bent gekicked van de server\\r\\n";
constexpr std::string_view kBannedYou = "**Je bent gebanned van de server\\r\\n";
constexpr std::string_view kKickedOther = " is gekicked van de server\\r\\n";
constexpr std::string_view kBannedOther = " is gebanned van de server\\r\\n";

// A lookup that takes longer than this is not waited for.
constexpr int kLookupWaitMs = 3000;

// The nickname as the user list shows it, read back the way the list is read:
// the entry "slot#nickname" split into fields.
std::string ListedNickname(int slot, const std::string& nickname) {
    std::string entry = std::to_string(slot);
    entry += '#';
    entry += nickname;
    const auto fields = ZindleDivideCombine::Divide(entry);
    return fields.size() > 1 ? fields[1] : std::string();
}

} // namespace

// ---------------------------------------------------------------- users

bool ServerCore::IsInUse(int slot) const {
    return slot >= 1 && slot <= kMaxSlot && Users[static_cast<std::size_t>(slot)].user.InUse == kTrue;
}

bool ServerCore::IsLoggedIn(int slot) const {
    return IsInUse(slot) && Users[static_cast<std::size_t>(slot)].user.Acknowledged == kTrue;
}

std::vector<std::pair<int, QString>> ServerCore::UserList() const {
    std::vector<std::pair<int, QString>> list;
    list.reserve(LoggedIn_.size());
    for (std::int16_t s : LoggedIn_)
        list.emplace_back(s, FromBytes(Users[static_cast<std::size_t>(s)].user.Nickname));
    return list;
}

QStringList ServerCore::UserListEntries() const {
    QStringList entries;
    entries.reserve(static_cast<qsizetype>(LoggedIn_.size()));
    for (const auto& [slot, nickname] : UserList())
        entries << QString::number(slot) + u'#' + nickname;
    return entries;
}

QString ServerCore::RemoteIP(int slot) const {
    return IsInUse(slot) ? FromBytes(Users[static_cast<std::size_t>(slot)].ip) : QString();
}

quint16 ServerCore::RemotePort(int slot) const {
    return IsInUse(slot) ? Users[static_cast<std::size_t>(slot)].port : 0;
}

QString ServerCore::RemoteHost(int slot) const {
    return IsInUse(slot) ? FromBytes(Users[static_cast<std::size_t>(slot)].hostName) : QString();
}

void ServerCore::LookUpHost(int slot, QObject* context, std::function<void()> done) {
    if (!IsInUse(slot)) {
        done();
        return;
    }
    const std::uint32_t generation = Users[static_cast<std::size_t>(slot)].generation;
    const QString ip = RemoteIP(slot);
    // Whichever comes first, the answer or the time-out, calls done; once.
    auto finish = std::make_shared<std::function<void()>>(std::move(done));
    QPointer<QObject> alive(context);
    auto once = [finish, alive] {
        if (*finish && alive) {
            auto call = std::move(*finish);
            *finish = nullptr;
            call();
        }
        *finish = nullptr;
    };
    QTimer::singleShot(kLookupWaitMs, context, once);
    QHostInfo::lookupHost(ip, this, [this, slot, generation, ip, once](const QHostInfo& info) {
        SlotRecord& r = Users[static_cast<std::size_t>(slot)];
        // A failed reverse lookup reads back the address itself: that is no name.
        if (r.generation == generation && info.error() == QHostInfo::NoError && info.hostName() != ip)
            r.hostName = ToBytes(info.hostName());
        once();
    });
}

QString ServerCore::UserInfoText(int slot) const {
    if (!IsInUse(slot))
        return QString();
    const UserSlot& user = Users[static_cast<std::size_t>(slot)].user;
    const QString crlf = QStringLiteral("\r\n");
    QString text = QStringLiteral("ID: ") + QString::number(slot) + crlf + QStringLiteral("Nickname: ") +
                   FromBytes(user.Nickname) + crlf + QStringLiteral("Client versie: ") +
                   FromBytes(user.ClientVersion) + crlf + QStringLiteral("Away: ") +
                   (user.Away != 0 ? QStringLiteral("Waar") : QStringLiteral("Onwaar")) + crlf +
                   QStringLiteral("IP-Adres: ") + RemoteIP(slot) + crlf + QStringLiteral("Port: ") +
                   QString::number(RemotePort(slot));
    const QString host = RemoteHost(slot);
    if (!host.isEmpty())
        text += crlf + QStringLiteral("Host: ") + host + crlf;
    return text;
}

// ---------------------------------------------------------------- kick and ban

int ServerCore::SlotOfEntry(const QString& entry) {
    const auto fields = ZindleDivideCombine::Divide(ToBytes(entry));
    const auto slot = msg::ParseSlotNumber(fields.front());
    return slot ? *slot : -1;
}

void ServerCore::SendNotices(int target, const std::string& nickname, bool ban) {
    std::string other = "* ";
    other.append(nickname);
    other.append(ban ? kBannedOther : kKickedOther);
    const std::string_view personal = ban ? kBannedYou : kKickedYou;
    ForEachLoggedIn([&](int s) { SendToSlot(s, s == target ? personal : std::string_view(other), false); });
}

bool ServerCore::Kick(int slot) {
    if (!IsInUse(slot))
        return false;
    const SlotRecord& r = Users[static_cast<std::size_t>(slot)];
    const std::uint32_t generation = r.generation;
    SendNotices(slot, ListedNickname(slot, r.user.Nickname), false);
    CloseAndRelease(slot, generation);
    return true;
}

bool ServerCore::Ban(int slot) {
    if (!IsInUse(slot))
        return false;
    const SlotRecord& r = Users[static_cast<std::size_t>(slot)];
    const std::string address = r.ip;
    const std::uint32_t generation = r.generation;
    banList_.push_back(address);
    emit banListChanged();
    SendNotices(slot, ListedNickname(slot, r.user.Nickname), true);
    CloseAndRelease(slot, generation);

    // Every other connection from the banned address goes too, in slot order.
    for (int s = 1; s <= kMaxSlot && inUseCount_ > 0; ++s) {
        const SlotRecord& other = Users[static_cast<std::size_t>(s)];
        if (other.user.InUse != kTrue || other.ip != address)
            continue;
        SendNotices(s, other.user.Nickname, true);
        CloseAndRelease(s, other.generation);
    }
    return true;
}

bool ServerCore::KickEntry(const QString& entry) {
    return Kick(SlotOfEntry(entry));
}
bool ServerCore::BanEntry(const QString& entry) {
    return Ban(SlotOfEntry(entry));
}

// ---------------------------------------------------------------- ban list

bool ServerCore::IsBanned(const std::string& ip) const {
    return net::BanListCovers(banList_, ip);
}

QStringList ServerCore::BanList() const {
    QStringList list;
    list.reserve(static_cast<qsizetype>(banList_.size()));
    for (const std::string& ip : banList_)
        list << FromBytes(ip);
    return list;
}

void ServerCore::RemoveBan(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= banList_.size())
        return;
    banList_.erase(banList_.begin() + index);
    emit banListChanged();
}

int ServerCore::RemoveBanAddress(const QString& ip) {
    const std::string bytes = ToBytes(ip);
    const auto before = banList_.size();
    std::erase(banList_, bytes);
    const int removed = static_cast<int>(before - banList_.size());
    if (removed > 0)
        emit banListChanged();
    return removed;
}

void ServerCore::ClearBans() {
    if (banList_.empty())
        return;
    banList_.clear();
    emit banListChanged();
}

void ServerCore::AddBan(const QString& ip) {
    banList_.push_back(ToBytes(ip));
    emit banListChanged();
}

} // namespace server
