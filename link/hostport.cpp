#include "link/hostport.h"
#include "protocol/refuse.h"

#include <QHostAddress>
#include <QRegularExpression>

namespace {

bool plainHostName(const QString& host)
{
    if (host.isEmpty())
        return false;
    for (const QChar c : host) {
        if (c.isSpace() || c.category() == QChar::Other_Control || c == QLatin1Char('[') || c == QLatin1Char(']')
            || c == QLatin1Char('/') || c == QLatin1Char('@'))
            return false;
    }
    return true;
}

} // namespace

bool digitsInRange(const QString& text, int maxDigits, int min, int max, int* value)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    if (text.size() > maxDigits || !digits.match(text).hasMatch())
        return false;
    *value = text.toInt();
    return *value >= min && *value <= max;
}

bool parseHostPort(const QString& text, int defaultPort, QString* host, quint16* port, QString* error)
{
    const QString portRule = QStringLiteral("the port must be 1..65535");
    QString h;
    QString portText;
    bool portGiven = false;
    if (text.startsWith(QLatin1Char('['))) {
        const int close = text.indexOf(QLatin1Char(']'));
        if (close < 0)
            return refuse(error, QStringLiteral("'%1' opens '[' without closing it").arg(text));
        h = text.mid(1, close - 1);
        const QString rest = text.mid(close + 1);
        if (!rest.isEmpty()) {
            if (!rest.startsWith(QLatin1Char(':')))
                return refuse(error, QStringLiteral("'%1' has text after ']' that is no ':PORT'").arg(text));
            portText = rest.mid(1);
            portGiven = true;
        }
        if (QHostAddress(h).protocol() != QAbstractSocket::IPv6Protocol)
            return refuse(error, QStringLiteral("'%1' is no IPv6 address").arg(h));
    } else {
        const int colon = text.indexOf(QLatin1Char(':'));
        if (colon >= 0 && text.indexOf(QLatin1Char(':'), colon + 1) >= 0)
            return refuse(error, QStringLiteral("'%1': an IPv6 address goes in brackets, e.g. [::1]:1883").arg(text));
        h = colon < 0 ? text : text.left(colon);
        if (colon >= 0) {
            portText = text.mid(colon + 1);
            portGiven = true;
        }
        if (!plainHostName(h))
            return refuse(error, QStringLiteral("'%1' names no host").arg(text));
    }
    int p = 0;
    if (portGiven) {
        if (!digitsInRange(portText, 5, 1, 65535, &p))
            return refuse(error, QStringLiteral("'%1': %2").arg(text, portRule));
    } else if (defaultPort > 0 && defaultPort <= 65535) {
        p = defaultPort;
    } else {
        return refuse(error, QStringLiteral("'%1' needs HOST:PORT").arg(text));
    }
    *host = h;
    *port = quint16(p);
    return true;
}

QString hostPortText(const QString& host, quint16 port)
{
    if (host.contains(QLatin1Char(':')))
        return QStringLiteral("[%1]:%2").arg(host).arg(port);
    return QStringLiteral("%1:%2").arg(host).arg(port);
}
