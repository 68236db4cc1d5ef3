#pragma once

#include "protocol/settings.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QVector>

// What the gateway serves, as the site file describes it.

enum class SiteLinkKind { Serial, Udp, UdpClient, Tcp };

struct SiteLink
{
    QString name; // the section name; used in topics and metric labels
    int line = 0; // of the section header, for later messages
    SiteLinkKind kind = SiteLinkKind::Serial;
    QString portName; // Serial
    qint32 baudRate = 19200; // Serial
    QString host; // Udp, UdpClient, Tcp: the module
    quint16 port = 0;
    QString bindAddress; // UdpClient: this machine's address, bound with the same port
    QVector<int> addresses; // ascending
    QMap<int, QString> displayNames; // address -> "North gate"

    // "serial:/dev/ttyUSB0@19200", "tcp:[::1]:4001", ... as the file writes it.
    QString endpointText() const;
};

struct GatewayOptions
{
    QString mqttHost; // empty: no MQTT
    quint16 mqttPort = 1883;
    QString topicPrefix = QStringLiteral("energizer");
    bool discovery = false;
    QString discoveryPrefix = QStringLiteral("homeassistant");
    bool allowZoneCommands = false;
    QString username;
    QString passwordFile;
    QString password; // the first line of passwordFile
    QString metricsHost; // an IP address; empty: no metrics endpoint
    quint16 metricsPort = 0;
    double intervalSeconds = 1.0;

    bool hasMqtt() const { return !mqttHost.isEmpty(); }
    bool hasMetrics() const { return !metricsHost.isEmpty(); }
};

struct Site
{
    GatewayOptions gateway;
    QVector<SiteLink> links; // in file order
};


// Reads the INI site file by hand so that every refusal names its line:
// "site.conf:7: unknown key 'intervall'". Nothing is half-accepted: on error
// the Site is left empty.
class SiteFile
{
public:
    struct Result
    {
        Site site;
        int line = 0; // 1-based line of the refusal; 0 when sound
        QString error; // "FILE:LINE: reason"; empty when sound
        bool ok() const { return error.isEmpty(); }
    };

    // Reads the file at path; a relative password-file is taken from the site file's folder.
    static Result read(const QString& path);
    // The same for text already in memory; fileName only prefixes messages.
    static Result parse(const QByteArray& text, const QString& fileName, const QString& baseDir);
};

// The link's connection record for the existing link code: 8N1 without flow
// control on a serial port, the module role on the network. energizerAddress is
// the link's first address; the bus polls the others itself.
Settings linkSettings(const SiteLink& link);

// A broker password: the first line of a regular file (a FIFO would block),
// without its line end. False with the reason ("PATH is empty") otherwise.
bool readPasswordFile(const QString& path, QString* password, QString* error);
