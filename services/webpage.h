#pragma once

#include "services/metricsserver.h"
#include "services/sitefile.h"

#include <QByteArray>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QPair>
#include <QSet>
#include <QString>
#include <QTimer>
#include <QVector>

#include <array>

class SiteBuses;
class ConfigTransfer;
class Station;
class TimelineRecorder;
class TimelineStore;

// The last hour of one energizer, a slot a second: what the page's live chart
// draws. The time is the slot, and each value is kept as the reply carried it
// (a byte, in steps of the field's volts), so an hour is 18 kB.
class LiveRing
{
public:
    static constexpr int Capacity = 3600;
    static constexpr int Series = 5; // the timeline's series, in its order

    void add(qint64 timeMs, const std::array<double, Series>& values);
    // {"t":[seconds...], "s":[[...] per series]}, oldest first; seconds without a reply are left out.
    QJsonObject json() const;

private:
    QByteArray m_codes; // Capacity slots of Series bytes; Missing where no reply came
    qint64 m_lastSecond = 0;
};

// The web page on the metrics endpoint: the page and its files, the site's
// state as JSON and as server-sent events, the timeline's events and trend,
// and zone switching for the site file's operators. Runs in the event loop;
// the endpoint's thread asks it through MetricsServer.
class WebPage : public QObject
{
    Q_OBJECT
public:
    // Changes are sent at most this often, together.
    static constexpr int PublishMs = 100;

    WebPage(SiteBuses& buses, TimelineRecorder& recorder, QObject* parent = nullptr);
    ~WebPage() override;

    void setOptions(const GatewayOptions& options);
    void setStore(TimelineStore* store) { m_store = store; }
    // Answers the endpoint's other paths from now on.
    void serveOn(MetricsServer* server);
    // Every station of the site, again after a reload changed its links.
    void watchSite();

    WebReply answer(const WebRequest& request);
    QByteArray streamStart(const WebRequest& request);
    // The token a POST of this user carries: bound to the login and to this process.
    QByteArray tokenFor(const QString& user) const;

private:
    using Key = QPair<QString, int>;
    struct Watched
    {
        Station* station = nullptr;
        QString link;
        QString name;
        LiveRing ring;
        ConfigTransfer* levelsRead = nullptr; // the configuration, read for its alarm levels
        QJsonArray levels;
        qint64 levelsAtMs = 0;
    };

    QJsonObject energizerJson(const Key& key, const Watched& w) const;
    QJsonObject siteJson(const WebRequest& request) const;
    WebReply file(const QByteArray& path) const;
    WebReply events(const WebRequest& request) const;
    WebReply trend(const WebRequest& request);
    // The zones' alarm levels as last read; an empty array while a read is under way.
    QJsonArray alarmLevels(const Key& key);
    WebReply live(const WebRequest& request) const;
    WebReply zone(const WebRequest& request);
    bool isOperator(const QString& user) const;
    void changed(const Key& key);
    void publishChanges();

    SiteBuses& m_buses;
    TimelineRecorder& m_recorder;
    TimelineStore* m_store = nullptr;
    GatewayOptions m_options;
    MetricsServer* m_server = nullptr;
    QHash<Key, Watched> m_watched;
    QVector<Key> m_order; // as the site file lists them
    QSet<Key> m_dirty;
    QTimer m_publish;
    QByteArray m_tokenKey; // random per process
};
