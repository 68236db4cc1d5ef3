#pragma once

#include <QByteArray>
#include <QHash>
#include <QMap>
#include <QString>

// Equal and not empty, every byte looked at whatever the first difference:
// the time of a refusal tells nothing about how much of a secret was right.
bool sameSecret(const QByteArray& a, const QByteArray& b);

// Checks an HTTP "Authorization: Basic ..." header against bcrypt hashes with
// the C library's crypt(). An unknown user costs one bcrypt against a dummy
// hash of the dearest cost, so the time of an answer tells nothing about which
// part was wrong. Slow by design (bcrypt): call it off the event loop. A header
// that passed is taken again for a few minutes without bcrypt.
class BasicAuth
{
public:
    explicit BasicAuth(const QMap<QString, QByteArray>& users);

    bool isEmpty() const { return m_users.isEmpty(); }
    // who: the user's name when true.
    bool check(const QByteArray& authorization, QString* who = nullptr) const;

private:
    struct Recent
    {
        QString user;
        qint64 checkedMs = 0;
    };
    static constexpr qint64 RecentMs = 5 * 60 * 1000;
    static constexpr int MaxRecent = 256;
    QMap<QString, QByteArray> m_users;
    QByteArray m_dummy; // the setting an unknown user's password is hashed with
    mutable QHash<QByteArray, Recent> m_recent; // SHA-256 of a header that passed -> its user
};

// Failed logins per client address; past the limit in one minute an address
// is refused without a check until that minute is over.
class FailureLimiter
{
public:
    explicit FailureLimiter(int perMinute) : m_perMinute(perMinute) {}

    // Seconds until the address may try again; 0 when it may now.
    int retryAfter(const QByteArray& address, qint64 nowMs) const;
    void failed(const QByteArray& address, qint64 nowMs);

private:
    struct Window
    {
        qint64 startMs = 0;
        int failures = 0;
    };
    static constexpr qint64 WindowMs = 60 * 1000;
    int m_perMinute;
    QHash<QByteArray, Window> m_windows;
};
