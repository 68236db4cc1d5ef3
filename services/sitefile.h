#pragma once

#include "link/bustiming.h"
#include "link/linkspec.h"
#include "services/webconfig.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>

#include <cstddef>
#include <tuple>
#include <utility>

// What the gateway serves, as the site file describes it.

struct SiteLink
{
    QString name; // the section name; used in topics and metric labels
    int line = 0; // of the section header, for later messages
    LinkSpec lineSpec;
    QVector<int> addresses; // ascending
    QMap<int, QString> displayNames; // address -> "North gate"
    // Its own pace, or the [gateway] section's.
    int intervalMs = 1000;
    BusTiming timing;
};

struct GatewayOptions
{
    QString mqttHost; // empty: no MQTT
    quint16 mqttPort = 1883;
    bool mqttTls = false;
    QString mqttCa; // absolute; empty: the system's CA store
    QString mqttCert; // absolute; with mqttKey, a client certificate
    QString mqttKey;
    QString topicPrefix = QStringLiteral("energizer");
    bool discovery = false;
    QString discoveryPrefix = QStringLiteral("homeassistant");
    QString supportUrl; // Home Assistant's link to whoever looks after the site
    bool allowZoneCommands = false;
    QString username;
    QString passwordFile;
    QString password; // the first line of passwordFile
    QString metricsHost; // an IP address; empty: no metrics endpoint
    quint16 metricsPort = 0;
    WebConfig web; // web-config: TLS and logins of the metrics endpoint
    double intervalSeconds = 1.0;
    QString timelineFile; // empty: the service's state folder, else the user's data folder
    bool timelineKept = true; // false: "timeline = none"
    int timelineEventDays = 400;
    int timelineReadingDays = 90;
    QStringList operators; // web-config users who may switch zones from the web page

    bool hasMqtt() const { return !mqttHost.isEmpty(); }
    bool hasMetrics() const { return !metricsHost.isEmpty(); }
    // Said at start and by --check: an endpoint beyond loopback that anyone may read.
    QString metricsWarning() const;
};

// How many fields an aggregate has: the count of initializers it still takes.
namespace fieldcount {
struct Any
{
    template <class T> operator T() const;
};
template <class T, class... A>
constexpr std::size_t of(long) { return sizeof...(A); }
template <class T, class... A>
constexpr auto of(int) -> decltype(T{std::declval<A>()..., Any{}}, std::size_t()) { return of<T, A..., Any>(0); }
} // namespace fieldcount

// A reload (SIGHUP) compares the running site with the re-read one through
// these: a field added to a struct but not here fails to compile below, so no
// new key can be ignored by a reload.
inline auto reloadFields(const SiteLink& l)
{
    // Not the line: it moves when a section above changes.
    return std::make_tuple(l.name, l.lineSpec.text(), l.addresses, l.displayNames);
}
// What a running link takes without being opened again.
inline auto paceFields(const SiteLink& l)
{
    return std::tie(l.intervalMs, l.timing);
}
static_assert(fieldcount::of<SiteLink>(0) == std::tuple_size<decltype(reloadFields(SiteLink{}))>::value
                                                 + std::tuple_size<decltype(paceFields(SiteLink{}))>::value + 1,
              "a new SiteLink field belongs in reloadFields() or paceFields()");
inline bool operator==(const SiteLink& a, const SiteLink& b) { return reloadFields(a) == reloadFields(b); }

inline auto reloadFields(const GatewayOptions& g)
{
    return std::tie(g.mqttHost, g.mqttPort, g.mqttTls, g.mqttCa, g.mqttCert, g.mqttKey, g.topicPrefix, g.discovery, g.discoveryPrefix, g.supportUrl, g.allowZoneCommands, g.username,
                    g.passwordFile, g.password, g.metricsHost, g.metricsPort, g.web, g.intervalSeconds, g.timelineFile, g.timelineKept, g.timelineEventDays,
                    g.timelineReadingDays, g.operators);
}
static_assert(fieldcount::of<GatewayOptions>(0) == std::tuple_size<decltype(reloadFields(GatewayOptions{}))>::value,
              "a new GatewayOptions field belongs in reloadFields()");
inline bool operator==(const GatewayOptions& a, const GatewayOptions& b) { return reloadFields(a) == reloadFields(b); }

struct Site
{
    QString path; // absolute; empty for text parsed in memory
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
