#include "services/basicauth.h"

#include <QCryptographicHash>
#include <QDateTime>

#include <crypt.h>

#include <memory>

namespace {

QByteArray bcrypt(const QByteArray& password, const QByteArray& setting)
{
    auto data = std::make_unique<crypt_data>(); // 32 kB: not on the stack
    const char* hash = crypt_rn(password.constData(), setting.constData(), data.get(), sizeof *data);
    return hash && hash[0] != '*' ? QByteArray(hash) : QByteArray();
}

} // namespace

bool sameSecret(const QByteArray& a, const QByteArray& b)
{
    unsigned char diff = a.size() == b.size() ? 0 : 1;
    const int n = qMin(a.size(), b.size());
    for (int i = 0; i < n; ++i)
        diff |= static_cast<unsigned char>(a.at(i) ^ b.at(i));
    return diff == 0 && !a.isEmpty();
}

BasicAuth::BasicAuth(const QMap<QString, QByteArray>& users) : m_users(users)
{
    int cost = 4;
    for (const QByteArray& hash : users)
        cost = qMax(cost, hash.mid(4, 2).toInt());
    // Only the cost and the salt (all zero bits here) decide how long crypt() takes.
    m_dummy = QByteArrayLiteral("$2b$") + QByteArray::number(cost).rightJustified(2, '0') + '$' + QByteArray(53, '.');
}

bool BasicAuth::check(const QByteArray& authorization, QString* who) const
{
    // A page asks for many files with the same header; bcrypt once per login and a few minutes.
    const QByteArray digest = QCryptographicHash::hash(authorization, QCryptographicHash::Sha256);
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const auto cached = m_recent.constFind(digest);
    if (cached != m_recent.constEnd() && now - cached->checkedMs < RecentMs) {
        if (who)
            *who = cached->user;
        return true;
    }
    QByteArray user;
    QByteArray password;
    if (authorization.left(6).toLower() == "basic ") {
        const auto decoded = QByteArray::fromBase64Encoding(authorization.mid(6).trimmed(),
                                                            QByteArray::AbortOnBase64DecodingErrors);
        const int colon = decoded.decoded.indexOf(':');
        if (decoded && colon > 0 && !decoded.decoded.contains('\0')) {
            user = decoded.decoded.left(colon);
            password = decoded.decoded.mid(colon + 1);
        }
    }
    const auto known = m_users.constFind(QString::fromUtf8(user));
    if (!user.isEmpty() && known != m_users.constEnd()) {
        if (!sameSecret(bcrypt(password, *known), *known))
            return false;
        if (m_recent.size() >= MaxRecent)
            m_recent.clear();
        m_recent.insert(digest, {known.key(), now});
        if (who)
            *who = known.key();
        return true;
    }
    bcrypt(password, m_dummy);
    return false;
}

int FailureLimiter::retryAfter(const QByteArray& address, qint64 nowMs) const
{
    const auto it = m_windows.constFind(address);
    if (it == m_windows.constEnd() || it->failures < m_perMinute || nowMs - it->startMs >= WindowMs)
        return 0;
    return int((it->startMs + WindowMs - nowMs + 999) / 1000);
}

void FailureLimiter::failed(const QByteArray& address, qint64 nowMs)
{
    // Many addresses (IPv6) must not grow the table without end: old windows go first.
    if (m_windows.size() > 4096) {
        for (auto it = m_windows.begin(); it != m_windows.end();)
            it = nowMs - it->startMs >= WindowMs ? m_windows.erase(it) : std::next(it);
    }
    Window& w = m_windows[address];
    if (nowMs - w.startMs >= WindowMs)
        w = {nowMs, 0};
    ++w.failures;
}
