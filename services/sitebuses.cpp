#include "services/sitebuses.h"

#include "link/energizerbus.h"
#include "link/linklog.h"
#include "link/linkstatus.h"
#include "link/repeatlimiter.h"
#include "link/station.h"

#include <cstdio>

SiteBuses::SiteBuses(const Site& site, QObject* parent)
    : QObject(parent)
{
    for (const SiteLink& siteLink : site.links) {
        auto* bus = new EnergizerBus(this);
        bus->setLink(siteLink.lineSpec);
        bus->setTiming(siteLink.timing);
        const QString name = siteLink.name;
        for (int address : siteLink.addresses) {
            Station* station = bus->addStation(address);
            connect(station, &Station::availabilityChanged, this, [this, name, address](Station::Availability a) {
                // Closing takes every station off line; that is no news.
                if (m_closing)
                    return;
                if (a == Station::Availability::Online)
                    qCInfo(lcBus, "%s/%d answers", qUtf8Printable(name), address);
                else if (a == Station::Availability::Offline)
                    qCWarning(lcBus, "%s/%d does not answer", qUtf8Printable(name), address);
            });
        }
        // The line is retried every second for as long as it fails (an adapter may come later).
        const QString line = QStringLiteral("%1 (%2)").arg(name, siteLink.lineSpec.text());
        connect(bus, &EnergizerBus::statusChanged, this, [line, limiter = RepeatLimiter()](const LinkStatus& status) mutable {
            switch (status.kind) {
            case LinkStatus::Kind::NoSerialPort:
            case LinkStatus::Kind::SerialOpenFailed:
            case LinkStatus::Kind::SerialLost:
            case LinkStatus::Kind::BindFailed:
            case LinkStatus::Kind::SocketError: {
                const QString why = status.systemText.isEmpty() ? QStringLiteral("cannot open the line") : status.systemText;
                const QString text = QStringLiteral("%1: %2").arg(line, why);
                if (limiter.pass(text))
                    qCWarning(lcBus, "%s", qUtf8Printable(text));
                break;
            }
            default:
                break;
            }
        });
        bus->setPollInterval(siteLink.intervalMs);
        m_links.append({name, bus, siteLink.displayNames});
    }
}

void SiteBuses::open()
{
    for (const Link& link : m_links) {
        qCInfo(lcBus, "%s: polling %d energizers", qUtf8Printable(link.name), link.bus->stations().size());
        link.bus->open();
    }
}

void SiteBuses::close()
{
    m_closing = true;
    for (const Link& link : m_links) {
        link.bus->setPollInterval(0);
        link.bus->close();
    }
}

void SiteBuses::traceFrames()
{
    for (const Link& link : m_links) {
        const QString name = link.name;
        auto trace = [name](const char* direction, const QByteArray& frame) {
            std::fprintf(stderr, "%s %s\n", qUtf8Printable(name), qUtf8Printable(traceLine(direction, frame)));
        };
        connect(link.bus, &EnergizerBus::frameSent, this, [trace](const QByteArray& f) { trace("TX", f); });
        connect(link.bus, &EnergizerBus::replyTaken, this, [trace](const QByteArray& f) { trace("RX", f); });
    }
}

#include "moc_sitebuses.cpp"
