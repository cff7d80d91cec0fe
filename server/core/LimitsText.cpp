// SPDX-License-Identifier: GPL-3.0-or-later
#include "server/core/LimitsText.h"

#include "server/core/ServerSettings.h"

#include <cmath>

namespace server {

namespace {
// A whole number 0..max, digits only.
bool WholeNumber(const QString& text, qint64 max, qint64* value) {
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 12)
        return false;
    for (const QChar c : t)
        if (!c.isDigit())
            return false;
    const qint64 v = t.toLongLong();
    if (v > max)
        return false;
    *value = v;
    return true;
}
} // namespace

bool ParseLoginTimeout(const QString& text, int* seconds) {
    qint64 v = 0;
    if (!WholeNumber(text, 24 * 3600, &v))
        return false;
    *seconds = int(v);
    return true;
}

bool ParseMaxPending(const QString& text, int* count) {
    qint64 v = 0;
    if (!WholeNumber(text, 1'000'000, &v))
        return false;
    *count = int(v);
    return true;
}

bool ParseSendBudget(const QString& mib, std::size_t* bytes) {
    qint64 v = 0;
    if (!WholeNumber(mib, 1024 * 1024, &v))
        return false;
    *bytes = std::size_t(v) * 1024 * 1024;
    return true;
}

bool ParseFloodLimit(const QString& text, double* rate, int* burst) {
    const QString t = text.trimmed();
    const qsizetype slash = t.indexOf(u'/');
    bool ok = false;
    const double r = (slash < 0 ? t : t.left(slash)).toDouble(&ok);
    if (!ok || !std::isfinite(r) || r < 0 || r > 1'000'000)
        return false;
    qint64 b = std::max<qint64>(1, qint64(std::ceil(r * 4)));
    if (slash >= 0 && (!WholeNumber(t.mid(slash + 1), 10'000'000, &b) || b < 1))
        return false;
    *rate = r;
    *burst = int(b);
    return true;
}

bool ParseLogLevel(const QString& text, bool* all) {
    const QString t = text.trimmed();
    if (t == u"all" || t == u"events") {
        *all = t == u"all";
        return true;
    }
    return false;
}

ServerLimits LimitsFromSettings(const ServerSettings& stored) {
    ServerLimits limits;
    ParseLoginTimeout(stored.LoginTimeout, &limits.loginTimeoutSeconds);
    ParseMaxPending(stored.MaxPendingPerAddress, &limits.maxPendingPerAddress);
    ParseMaxPending(stored.MaxUsersPerAddress, &limits.maxUsersPerAddress);
    ParseSendBudget(stored.SendBudget, &limits.sendBudgetBytes);
    ParseFloodLimit(stored.FloodLimit, &limits.floodRate, &limits.floodBurst);
    return limits;
}

} // namespace server
