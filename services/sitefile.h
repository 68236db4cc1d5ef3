#pragma once

#include "link/linkspec.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QVector>

// What the gateway serves, as the site file describes it.

struct SiteLink
{
    QString name; // the section name; used in topics and metric labels
    int line = 0; // of the section header, for later messages
    LinkSpec lineSpec;
    QVector<int> addresses; // ascending
    QMap<int, QString> displayNames; // address -> "North gate"
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
    QString timelineFile; // empty: the service's state folder, else the user's data folder
    int timelineEventDays = 400;
    int timelineReadingDays = 90;

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

// A secret kept in a file (a broker password, an installer PIN): the first
// line of a regular file (a FIFO would block), without its line end. False with the reason ("PATH is empty") otherwise.
bool readPasswordFile(const QString& path, QString* password, QString* error);
