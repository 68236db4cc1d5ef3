#include "link/linkspec.h"

#include "link/hostport.h"
#include "protocol/settings.h"
#include "protocol/refuse.h"

#include <QFileInfo>
#include <QHostAddress>
#include <QHostInfo>

#include <algorithm>

namespace {

const QString Usage = QStringLiteral("serial:PORT[@BAUD], udp:HOST:PORT, udp-client:HOST:PORT@BIND or tcp:HOST:PORT");

struct KindWord
{
    LinkSpec::Kind kind;
    const char* word;
};
const KindWord kindWords[] = {{LinkSpec::Kind::Serial, "serial"}, {LinkSpec::Kind::Udp, "udp"},
                              {LinkSpec::Kind::UdpClient, "udp-client"}, {LinkSpec::Kind::Tcp, "tcp"}};

QString quoted(const QString& text)
{
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

// A host name becomes the address it resolves to, so "localhost" and 127.0.0.1 are one module.
QString hostKey(const QString& host)
{
    QHostAddress address(host);
    if (address.isNull()) {
        const QList<QHostAddress> found = QHostInfo::fromName(host).addresses();
        if (found.isEmpty())
            return host.toLower();
        address = found.constFirst();
    }
    return address.toString();
}

} // namespace

bool LinkSpec::parse(const QString& text, LinkSpec* lineSpec, QString* error)
{
    const int colon = text.indexOf(QLatin1Char(':'));
    const QString word = colon < 0 ? text : text.left(colon);
    const QString rest = colon < 0 ? QString() : text.mid(colon + 1);
    LinkSpec s;
    const KindWord* k = std::find_if(std::begin(kindWords), std::end(kindWords),
                                     [&word](const KindWord& k) { return word == QLatin1String(k.word); });
    if (k == std::end(kindWords))
        return refuse(error, QStringLiteral("unknown link kind %1 (%2)").arg(quoted(word), Usage));
    s.kind = k->kind;
    const int at = rest.lastIndexOf(QLatin1Char('@'));
    if (s.kind == Kind::Serial) {
        s.portName = at < 0 ? rest : rest.left(at);
        if (s.portName.isEmpty() || s.portName.contains(QLatin1Char(' ')))
            return refuse(error, QStringLiteral("link %1 names no serial port (%2)").arg(quoted(text), Usage));
        if (at >= 0 && !digitsInRange(rest.mid(at + 1), 7, 50, 4000000, &s.baudRate))
            return refuse(error, QStringLiteral("link %1: the baud rate must be 50..4000000").arg(quoted(text)));
        *lineSpec = s;
        return true;
    }
    QString target = rest;
    if (s.kind == Kind::UdpClient) {
        if (at < 0)
            return refuse(error, QStringLiteral("link %1 needs @BIND, this machine's address (udp-client:HOST:PORT@BIND)").arg(quoted(text)));
        target = rest.left(at);
        s.bindAddress = rest.mid(at + 1);
        if (s.bindAddress.startsWith(QLatin1Char('[')) && s.bindAddress.endsWith(QLatin1Char(']')))
            s.bindAddress = s.bindAddress.mid(1, s.bindAddress.size() - 2);
        if (QHostAddress(s.bindAddress).isNull())
            return refuse(error, QStringLiteral("link %1: %2 is no IP address to bind").arg(quoted(text), quoted(s.bindAddress)));
    }
    QString why;
    if (!parseHostPort(target, 0, &s.host, &s.port, &why))
        return refuse(error, QStringLiteral("link: %1").arg(why));
    *lineSpec = s;
    return true;
}

QString LinkSpec::text() const
{
    const KindWord* k = std::find_if(std::begin(kindWords), std::end(kindWords), [this](const KindWord& k) { return k.kind == kind; });
    if (isSerial())
        return QStringLiteral("serial:%1@%2").arg(portName).arg(baudRate);
    const QString target = QLatin1String(k->word) + QLatin1Char(':') + hostPortText(host, port);
    return kind == Kind::UdpClient ? target + QLatin1Char('@') + bindAddress : target;
}

QString LinkSpec::name() const
{
    if (isSerial())
        return QFileInfo(portName).fileName();
    return QStringLiteral("%1-%2-%3").arg(kind == Kind::Tcp ? QStringLiteral("tcp") : QStringLiteral("udp"), host).arg(port);
}

QString LinkSpec::devicePath() const
{
    const QString path = portName.startsWith(QLatin1Char('/')) ? portName : QStringLiteral("/dev/") + portName;
    const QString resolved = QFileInfo(path).canonicalFilePath();
    return resolved.isEmpty() ? path : resolved;
}

QString LinkSpec::endpointKey() const
{
    if (isSerial())
        return QStringLiteral("serial ") + devicePath();
    return QStringLiteral("module %1 %2").arg(hostKey(host)).arg(port);
}

QString LinkSpec::bindKey() const
{
    if (kind != Kind::UdpClient)
        return {};
    return QStringLiteral("bind %1 %2").arg(QHostAddress(bindAddress).toString()).arg(port);
}

LinkSpec linkSpec(const Settings& s)
{
    LinkSpec lineSpec;
    if (s.linkKind() == LinkKind::Serial) {
        lineSpec.portName = s.portName;
        lineSpec.baudRate = s.baudRate;
        lineSpec.dataBits = s.dataBits;
        lineSpec.parity = s.parity;
        lineSpec.stopBits = s.stopBits;
        lineSpec.flowControl = s.flowControl;
        return lineSpec;
    }
    lineSpec.host = s.ipAddress;
    lineSpec.port = quint16(s.portNumber);
    switch (s.moduleRole()) {
    case ModuleRole::UdpServer: lineSpec.kind = LinkSpec::Kind::Udp; break;
    case ModuleRole::UdpClient:
        lineSpec.kind = LinkSpec::Kind::UdpClient;
        lineSpec.bindAddress = s.ownIpAddress;
        break;
    case ModuleRole::TcpServer: lineSpec.kind = LinkSpec::Kind::Tcp; break;
    }
    return lineSpec;
}
