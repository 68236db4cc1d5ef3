#include "services/webpage.h"

#include "link/energizerbus.h"
#include "link/station.h"
#include "link/zoneswitch.h"
#include "protocol/configrecord.h"
#include "protocol/energizer.h"
#include "protocol/energizerfields.h"
#include "protocol/statusrecord.h"
#include "services/basicauth.h"
#include "services/configtransfer.h"
#include "services/sitebuses.h"
#include "services/timelinerecorder.h"
#include "services/timelinestore.h"
#include "services/zonecommands.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>

// Outside any namespace, as Qt's resource initializer wants it.
static void initWebResources()
{
    Q_INIT_RESOURCE(web);
}

namespace {

constexpr int ZoneTimeoutMs = 5000;
// The alarm levels shown with a trend are read again after this long.
constexpr qint64 LevelsMaxAgeMs = 10 * 60 * 1000;
constexpr qint64 HourMs = 3600LL * 1000;
constexpr qint64 DayMs = 24 * HourMs;

qint64 now()
{
    return QDateTime::currentMSecsSinceEpoch();
}

WebReply json(const QJsonObject& object, int status = 200)
{
    return {status, "application/json", QJsonDocument(object).toJson(QJsonDocument::Compact)};
}

WebReply refusal(int status, const QString& reason)
{
    return json(QJsonObject{{QStringLiteral("error"), reason}}, status);
}

QByteArray sse(const char* event, const QJsonObject& data)
{
    return QByteArrayLiteral("event: ") + event + QByteArrayLiteral("\ndata: ") + QJsonDocument(data).toJson(QJsonDocument::Compact)
           + QByteArrayLiteral("\n\n");
}

std::array<double, LiveRing::Series> seriesOf(const Energizer& energizer)
{
    static const QVector<const StatusField*> fields = [] {
        QVector<const StatusField*> list;
        for (const char* name : timelineSeries())
            list << statusField(QLatin1String(name));
        return list;
    }();
    std::array<double, LiveRing::Series> values{};
    for (int s = 0; s < LiveRing::Series; ++s)
        values[s] = fields[s]->number(energizer);
    return values;
}

// "day" (default), "week", "90d": how far back a trend goes and how coarse.
bool trendRange(const QString& range, qint64* sinceMs, int* bucketMinutes)
{
    const qint64 t = now();
    if (range.isEmpty() || range == QLatin1String("day")) {
        *sinceMs = t - DayMs;
        *bucketMinutes = 5;
    } else if (range == QLatin1String("week")) {
        *sinceMs = t - 7 * DayMs;
        *bucketMinutes = 30;
    } else if (range == QLatin1String("90d")) {
        *sinceMs = t - 90 * DayMs;
        *bucketMinutes = 360;
    } else {
        return false;
    }
    return true;
}

constexpr quint8 Missing = 0xFF;

// Volts one step of each series stands for, from the status reply's layout.
const std::array<double, LiveRing::Series>& seriesSteps()
{
    static const std::array<double, LiveRing::Series> steps = [] {
        std::array<double, LiveRing::Series> list{};
        for (int s = 0; s < LiveRing::Series; ++s)
            list[s] = statusFieldStep(std::abs(statusField(QLatin1String(timelineSeries()[s]))->source));
        return list;
    }();
    return steps;
}

} // namespace

void LiveRing::add(qint64 timeMs, const std::array<double, Series>& values)
{
    const qint64 second = timeMs / 1000;
    // First, or the clock was set back: the hour starts again rather than mix two.
    if (m_codes.isEmpty() || second < m_lastSecond)
        m_codes = QByteArray(Capacity * Series, char(Missing));
    // Seconds without a reply since the last one hold nothing.
    for (qint64 gap = std::max(m_lastSecond + 1, second - Capacity + 1); gap < second; ++gap)
        std::fill_n(m_codes.begin() + (gap % Capacity) * Series, Series, char(Missing));
    char* slot = m_codes.data() + (second % Capacity) * Series;
    for (int s = 0; s < Series; ++s)
        slot[s] = char(quint8(qBound(0.0, std::round(values[s] / seriesSteps()[s]), double(Missing - 1))));
    m_lastSecond = second;
}

QJsonObject LiveRing::json() const
{
    QJsonArray times;
    std::array<QJsonArray, Series> series;
    for (qint64 second = m_lastSecond - Capacity + 1; !m_codes.isEmpty() && second <= m_lastSecond; ++second) {
        const char* slot = m_codes.constData() + (second % Capacity) * Series;
        if (quint8(slot[0]) == Missing)
            continue;
        times.append(second);
        for (int s = 0; s < Series; ++s)
            series[s].append(quint8(slot[s]) * seriesSteps()[s]);
    }
    QJsonArray all;
    for (const QJsonArray& s : series)
        all.append(s);
    return {{QStringLiteral("t"), times}, {QStringLiteral("s"), all}};
}

WebPage::WebPage(SiteBuses& buses, TimelineRecorder& recorder, QObject* parent)
    : QObject(parent)
    , m_buses(buses)
    , m_recorder(recorder)
{
    initWebResources();
    m_tokenKey.resize(32);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(m_tokenKey.data()), m_tokenKey.size() / 4);
    m_publish.setSingleShot(true);
    m_publish.setInterval(PublishMs);
    connect(&m_publish, &QTimer::timeout, this, &WebPage::publishChanges);
    watchSite();
}

WebPage::~WebPage() = default;

void WebPage::setOptions(const GatewayOptions& options)
{
    m_options = options;
}

void WebPage::serveOn(MetricsServer* server)
{
    m_server = server;
    if (!server)
        return;
    server->setWebSource([this](const WebRequest& request) { return answer(request); });
    server->setStreamStart([this](const WebRequest& request) { return streamStart(request); });
}

void WebPage::watchSite()
{
    QHash<Key, Watched> before;
    before.swap(m_watched);
    m_order.clear();
    for (const SiteBuses::Link& link : m_buses.links()) {
        for (Station* station : link.bus->stations()) {
            const Key key(link.name, station->address());
            Watched w = before.take(key);
            if (w.station != station) {
                delete w.levelsRead;
                w = Watched();
            }
            w.station = station;
            w.link = link.name;
            w.name = link.displayNames.value(station->address());
            disconnect(station, nullptr, this, nullptr);
            connect(station, &Station::statusReceived, this, [this, key, station] {
                m_watched[key].ring.add(now(), seriesOf(station->energizer()));
                changed(key);
            });
            connect(station, &Station::availabilityChanged, this, [this, key] { changed(key); });
            m_watched.insert(key, w);
            m_order << key;
        }
    }
    for (const Watched& gone : qAsConst(before))
        delete gone.levelsRead;
}

void WebPage::changed(const Key& key)
{
    m_dirty.insert(key);
    if (!m_publish.isActive())
        m_publish.start();
}

void WebPage::publishChanges()
{
    if (!m_server || m_dirty.isEmpty())
        return;
    QJsonArray list;
    for (const Key& key : qAsConst(m_dirty)) {
        const auto it = m_watched.constFind(key);
        if (it != m_watched.constEnd())
            list.append(energizerJson(key, *it));
    }
    m_dirty.clear();
    m_server->publish(sse("energizers", QJsonObject{{QStringLiteral("energizers"), list}}));
}

QJsonObject WebPage::energizerJson(const Key& key, const Watched& w) const
{
    const Energizer& e = w.station->energizer();
    const bool online = w.station->isOnline();
    QJsonObject o{{QStringLiteral("link"), key.first}, {QStringLiteral("address"), key.second},
                  {QStringLiteral("name"), w.name}, {QStringLiteral("online"), online}};
    if (!online)
        return o;
    QJsonArray zones;
    const bool on[] = {e.fenceOn1, e.fenceOn2};
    const bool hv[] = {e.fenceHv1, e.fenceHv2};
    const auto values = seriesOf(e);
    for (int z = 0; z < 2; ++z)
        zones.append(QJsonObject{{QStringLiteral("on"), on[z]}, {QStringLiteral("hv"), hv[z]},
                                 {QStringLiteral("output"), values[2 * z]}, {QStringLiteral("return"), values[2 * z + 1]}});
    QJsonArray alarms;
    for (const AlarmState& a : energizerAlarms(e)) {
        if (a.active)
            alarms.append(QLatin1String(a.name));
    }
    o.insert(QStringLiteral("zones"), zones);
    o.insert(QStringLiteral("battery"), values[4]);
    o.insert(QStringLiteral("alarms"), alarms);
    return o;
}

bool WebPage::isOperator(const QString& user) const
{
    return m_options.allowZoneCommands && !user.isEmpty() && m_options.operators.contains(user);
}

QByteArray WebPage::tokenFor(const QString& user) const
{
    return QMessageAuthenticationCode::hash(user.toUtf8(), m_tokenKey, QCryptographicHash::Sha256).toHex();
}

QJsonObject WebPage::siteJson(const WebRequest& request) const
{
    QJsonArray energizers;
    for (const Key& key : m_order)
        energizers.append(energizerJson(key, m_watched.value(key)));
    QJsonObject site{{QStringLiteral("user"), request.user}, {QStringLiteral("operator"), isOperator(request.user)},
                     {QStringLiteral("energizers"), energizers}};
    if (isOperator(request.user))
        site.insert(QStringLiteral("token"), QString::fromLatin1(tokenFor(request.user)));
    return site;
}

QByteArray WebPage::streamStart(const WebRequest& request)
{
    // The browser retries after 2 s when the stream breaks.
    return QByteArrayLiteral("retry: 2000\n\n") + sse("site", siteJson(request));
}

WebReply WebPage::answer(const WebRequest& request)
{
    const QByteArray& path = request.path;
    if (path.startsWith("/api/")) {
        if (path == "/api/zone") {
            if (request.method != "POST")
                return refusal(405, QStringLiteral("POST only"));
            return zone(request);
        }
        if (request.method != "GET")
            return refusal(405, QStringLiteral("GET only"));
        if (path == "/api/site")
            return json(siteJson(request));
        if (path == "/api/events")
            return events(request);
        if (path == "/api/trend")
            return trend(request);
        if (path == "/api/live")
            return live(request);
        return refusal(404, QStringLiteral("no such API"));
    }
    if (request.method != "GET" && request.method != "HEAD")
        return refusal(405, QStringLiteral("GET only"));
    // The energizer's page is the same page; its script reads the path.
    if (path == "/" || path.startsWith("/energizer/"))
        return file("index.html");
    return file(path.mid(1));
}

WebReply WebPage::file(const QByteArray& name) const
{
    static const QHash<QByteArray, QByteArray> types{
        {"html", "text/html; charset=utf-8"}, {"js", "text/javascript; charset=utf-8"},
        {"css", "text/css; charset=utf-8"}, {"json", "application/json"}};
    if (name.contains("..") || name.isEmpty())
        return {};
    QFile f(QStringLiteral(":/web/") + QString::fromUtf8(name));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return {200, types.value(name.mid(name.lastIndexOf('.') + 1), "application/octet-stream"), f.readAll()};
}

WebReply WebPage::events(const WebRequest& request) const
{
    if (!m_store)
        return refusal(503, QStringLiteral("no timeline"));
    TimelineFilter filter;
    filter.link = request.query.value(QStringLiteral("link"));
    bool ok = true;
    if (request.query.contains(QStringLiteral("address")))
        filter.addresses << request.query.value(QStringLiteral("address")).toInt(&ok);
    const QString since = request.query.value(QStringLiteral("since"));
    filter.sinceMs = since.isEmpty() ? now() - 7 * DayMs : since.toLongLong(&ok);
    if (!ok)
        return refusal(400, QStringLiteral("address and since are numbers (since: ms since 1970)"));
    const auto found = m_store->events(filter);
    if (!found.ok())
        return refusal(503, found.error);
    QJsonArray list;
    // The newest 500, newest first.
    for (int i = found.value.size() - 1; i >= 0 && list.size() < 500; --i) {
        const TimelineEvent& e = found.value[i];
        list.append(QJsonObject{{QStringLiteral("time"), e.timeMs}, {QStringLiteral("link"), e.link},
                                {QStringLiteral("address"), e.address}, {QStringLiteral("kind"), timelineKindName(e.kind)},
                                {QStringLiteral("detail"), e.detail}, {QStringLiteral("who"), e.who}});
    }
    return json({{QStringLiteral("events"), list}});
}

QJsonArray WebPage::alarmLevels(const Key& key)
{
    const auto it = m_watched.find(key);
    if (it == m_watched.end())
        return {};
    Watched& w = *it;
    const bool fresh = w.levelsAtMs > 0 && now() - w.levelsAtMs < LevelsMaxAgeMs;
    if (fresh || !w.station->isOnline() || (w.levelsRead && w.levelsRead->busy()))
        return w.levels;
    if (!w.levelsRead) {
        w.levelsRead = new ConfigTransfer(*w.station, this);
        connect(w.levelsRead, &ConfigTransfer::readFinished, this, [this, key](ConfigTransfer::Outcome outcome, const QByteArray& reply) {
            ConfigBlock block;
            const auto found = m_watched.find(key);
            if (found == m_watched.end() || outcome != ConfigTransfer::Outcome::Done || !blockFromReply(reply, &block))
                return;
            // Only the levels leave the block: it holds the PINs.
            const ParamValues params = blockParams(block);
            QJsonArray levels;
            for (int zone = 1; zone <= 2; ++zone) {
                levels.append(QJsonObject{{QStringLiteral("zone"), zone}, {QStringLiteral("kind"), QStringLiteral("high")},
                                          {QStringLiteral("volts"), params.value(zoneParam(zone, ZoneParam::HighVoltageAlarm)).toDouble()}});
                levels.append(QJsonObject{{QStringLiteral("zone"), zone}, {QStringLiteral("kind"), QStringLiteral("low")},
                                          {QStringLiteral("volts"), params.value(zoneParam(zone, ZoneParam::LowVoltageAlarm)).toDouble()}});
            }
            found->levels = levels;
            found->levelsAtMs = now();
        });
    }
    w.levelsRead->read();
    return w.levels;
}

WebReply WebPage::trend(const WebRequest& request)
{
    if (!m_store)
        return refusal(503, QStringLiteral("no timeline"));
    TimelineFilter filter;
    bool ok = false;
    filter.link = request.query.value(QStringLiteral("link"));
    filter.addresses << request.query.value(QStringLiteral("address")).toInt(&ok);
    if (!ok || filter.link.isEmpty() || !trendRange(request.query.value(QStringLiteral("range")), &filter.sinceMs, &filter.bucketMinutes))
        return refusal(400, QStringLiteral("link, address and range (day, week or 90d) are needed"));
    const auto found = m_store->readings(filter);
    if (!found.ok())
        return refusal(503, found.error);
    QJsonArray times;
    std::array<QJsonArray, TimelineSeriesCount> min, mean, max;
    for (const TimelineReading& r : found.value) {
        times.append(r.minute * 60);
        for (int s = 0; s < TimelineSeriesCount; ++s) {
            min[s].append(r.min[s]);
            mean[s].append(r.mean[s]);
            max[s].append(r.max[s]);
        }
    }
    const auto arrays = [](const std::array<QJsonArray, TimelineSeriesCount>& a) {
        QJsonArray all;
        for (const QJsonArray& s : a)
            all.append(s);
        return all;
    };
    QJsonArray names;
    for (const char* name : timelineSeries())
        names.append(QLatin1String(name));
    return json({{QStringLiteral("series"), names}, {QStringLiteral("t"), times}, {QStringLiteral("min"), arrays(min)},
                 {QStringLiteral("mean"), arrays(mean)}, {QStringLiteral("max"), arrays(max)},
                 {QStringLiteral("since"), filter.sinceMs / 1000}, {QStringLiteral("until"), now() / 1000},
                 {QStringLiteral("levels"), alarmLevels(Key(filter.link, filter.addresses.first()))}});
}

WebReply WebPage::live(const WebRequest& request) const
{
    const Key key(request.query.value(QStringLiteral("link")), request.query.value(QStringLiteral("address"), QStringLiteral("-1")).toInt());
    const auto it = m_watched.constFind(key);
    if (it == m_watched.constEnd())
        return refusal(404, QStringLiteral("no such energizer"));
    return json(it->ring.json());
}

WebReply WebPage::zone(const WebRequest& request)
{
    // The token first: a cross-site request learns nothing, not even whether its user may switch.
    if (request.user.isEmpty() || !sameSecret(request.token, tokenFor(request.user)))
        return refusal(403, QStringLiteral("a valid X-CSRF-Token is required"));
    if (!m_options.allowZoneCommands)
        return refusal(403, QStringLiteral("zone commands are not allowed (allow-zone-commands)"));
    if (!isOperator(request.user))
        return refusal(403, QStringLiteral("%1 is no operator").arg(request.user));
    const QJsonObject body = QJsonDocument::fromJson(request.body).object();
    const Key key(body.value(QStringLiteral("link")).toString(), body.value(QStringLiteral("address")).toInt(-1));
    const int zone = body.value(QStringLiteral("zone")).toInt();
    const QString action = body.value(QStringLiteral("action")).toString();
    ZoneSwitch::Action parsed;
    if ((zone != 1 && zone != 2) || !ZoneSwitch::parseAction(action, &parsed))
        return refusal(400, QStringLiteral("zone is 1 or 2, action on, off, hv or lv"));
    const auto it = m_watched.find(key);
    if (it == m_watched.end())
        return refusal(404, QStringLiteral("no such energizer"));
    const QString who = QStringLiteral("web:") + request.user;
    m_recorder.expectZoneCommand(key.first, key.second, who, ZoneTimeoutMs);
    ZoneCommands::of(*it->station, ZoneTimeoutMs, QStringLiteral("%1/%2").arg(key.first).arg(key.second))
        ->take(zone, who, action.toUtf8(), false);
    return json({{QStringLiteral("queued"), true}}, 202);
}

#include "moc_webpage.cpp"
