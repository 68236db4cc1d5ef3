#include "services/metricstext.h"

#include <QLocale>
#include <QStringList>

#include <cmath>

namespace {

QString number(double value)
{
    if (std::isnan(value))
        return QStringLiteral("NaN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("+Inf") : QStringLiteral("-Inf");
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QString flag(bool value)
{
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

class Writer
{
public:
    void family(const char* name, const char* type, const char* help)
    {
        m_name = QLatin1String(name);
        m_text += QStringLiteral("# HELP %1 %2\n# TYPE %1 %3\n").arg(m_name, QLatin1String(help), QLatin1String(type));
    }

    // labels: name, value, name, value, ...
    void sample(const QStringList& labels, const QString& value)
    {
        m_text += m_name;
        if (labels.size() > 0) {
            m_text += QLatin1Char('{');
            bool first = true;
            for (auto it = labels.begin(); it != labels.end(); it += 2) {
                if (!first)
                    m_text += QLatin1Char(',');
                first = false;
                m_text += *it + QStringLiteral("=\"") + escapeLabelValue(*(it + 1)) + QLatin1Char('"');
            }
            m_text += QLatin1Char('}');
        }
        m_text += QLatin1Char(' ') + value + QLatin1Char('\n');
    }

    QByteArray text() const { return m_text.toUtf8(); }

private:
    QString m_name;
    QString m_text;
};

const QString Link = QStringLiteral("link");
const QString Address = QStringLiteral("address");
const QString Zone = QStringLiteral("zone");

// The status fields' gauges in exposition order; the status table says which
// field goes under which.
const struct
{
    const char* name;
    const char* help;
} fieldFamilies[] = {
    {"energizer_output_voltage_volts", "Fence output voltage of the zone."},
    {"energizer_return_voltage_volts", "Fence return voltage of the zone."},
    {"energizer_battery_voltage_volts", "Battery voltage."},
    {"energizer_zone_on", "1 when the zone is switched on."},
    {"energizer_zone_high_voltage", "1 when the zone runs at high voltage, 0 at low voltage."},
    {"energizer_alarm", "1 while the alarm or fault is active."},
};

} // namespace

QString escapeLabelValue(const QString& value)
{
    QString out;
    out.reserve(value.size());
    for (const QChar c : value) {
        if (c == QLatin1Char('\\'))
            out += QStringLiteral("\\\\");
        else if (c == QLatin1Char('"'))
            out += QStringLiteral("\\\"");
        else if (c == QLatin1Char('\n'))
            out += QStringLiteral("\\n");
        else
            out += c;
    }
    return out;
}

QByteArray metricsText(const QVector<EnergizerReading>& energizers, const QVector<LinkReading>& links,
                       const QString& version, const BrokerReading* broker)
{
    Writer w;
    auto perEnergizer = [&](bool upOnly, auto add) {
        for (const EnergizerReading& e : energizers) {
            if (upOnly && !e.up)
                continue;
            add(e, QString::number(e.address));
        }
    };

    w.family("energizer_up", "gauge", "1 when the energizer answered its last polls, else 0.");
    perEnergizer(false, [&](const EnergizerReading& e, const QString& address) {
        w.sample({Link, e.link, Address, address}, flag(e.up));
    });
    for (const auto& family : fieldFamilies) {
        w.family(family.name, "gauge", family.help);
        perEnergizer(true, [&](const EnergizerReading& e, const QString& address) {
            for (const FieldReading& f : e.fields) {
                if (f.family != QLatin1String(family.name))
                    continue;
                QStringList labels{Link, e.link, Address, address};
                if (f.zone > 0)
                    labels << Zone << QString::number(f.zone);
                if (!f.alarm.isEmpty())
                    labels << QStringLiteral("alarm") << f.alarm;
                w.sample(labels, number(f.value));
            }
        });
    }
    w.family("energizer_last_reply_timestamp_seconds", "gauge", "Time of the energizer's last status reply.");
    perEnergizer(false, [&](const EnergizerReading& e, const QString& address) {
        if (e.lastReplyMs > 0)
            w.sample({Link, e.link, Address, address}, QString::number(double(e.lastReplyMs) / 1000.0, 'f', 3));
    });

    w.family("energizer_bus_requests_total", "counter", "Requests sent on the link.");
    for (const LinkReading& l : links)
        w.sample({Link, l.link}, QString::number(l.requests));
    w.family("energizer_bus_timeouts_total", "counter", "Requests on the link that got no reply in time.");
    for (const LinkReading& l : links)
        w.sample({Link, l.link}, QString::number(l.timeouts));
    w.family("energizer_bus_cycle_seconds", "gauge", "Duration of the last round over all energizers of the link.");
    for (const LinkReading& l : links)
        w.sample({Link, l.link}, number(l.cycleSeconds));

    if (broker) {
        w.family("energizer_mqtt_connected", "gauge", "1 while the gateway is connected to the broker.");
        w.sample({}, flag(broker->connected));
        w.family("energizer_mqtt_failure", "gauge", "1 for why the last try to reach the broker failed, while not connected.");
        if (!broker->connected && !broker->failure.isEmpty())
            w.sample({QStringLiteral("reason"), broker->failure}, QStringLiteral("1"));
        w.family("energizer_mqtt_other_gateways", "gauge", "Other gateways seen publishing under the same topic prefix.");
        w.sample({}, QString::number(broker->otherGateways));
    }
    w.family("energizer_gateway_info", "gauge", "The gateway's version; always 1.");
    w.sample({QStringLiteral("version"), version}, QStringLiteral("1"));
    return w.text();
}
