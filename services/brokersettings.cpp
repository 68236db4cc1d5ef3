#include "services/brokersettings.h"

#include "link/hostport.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QSysInfo>

namespace {
const QString TlsScheme = QStringLiteral("mqtts://");
}

bool parseBrokerAddress(const QString& text, bool tls, BrokerAddress* address, QString* error)
{
    const bool scheme = text.startsWith(TlsScheme, Qt::CaseInsensitive);
    BrokerAddress a;
    a.tls = tls || scheme;
    if (!parseHostPort(scheme ? text.mid(TlsScheme.size()) : text, a.tls ? 8883 : 1883, &a.host, &a.port, error))
        return false;
    *address = a;
    return true;
}

QString clientCertificateProblem(const QString& certFile, const QString& keyFile)
{
    if (!certFile.isEmpty() && keyFile.isEmpty())
        return QStringLiteral("a client certificate needs its private key");
    if (certFile.isEmpty() && !keyFile.isEmpty())
        return QStringLiteral("a private key needs its client certificate");
    return {};
}

QString exposedSecretWarning(const QString& what, const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists() || !(info.permissions() & (QFile::ReadGroup | QFile::ReadOther)))
        return {};
    return QStringLiteral("%1 %2 can be read by other users: chmod 600 %2").arg(what, path);
}

QString hostClientId(const QString& program, const QString& key)
{
    QString host = QSysInfo::machineHostName();
    for (QChar& c : host) {
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != QLatin1Char('-'))
            c = QLatin1Char('_');
    }
    const QByteArray hash = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex().left(8);
    return QStringLiteral("%1-%2-%3").arg(program, host.left(32), QString::fromLatin1(hash));
}
