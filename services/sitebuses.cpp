#include "services/sitebuses.h"

#include "link/energizerbus.h"
#include "link/linklog.h"
#include "link/linkstatus.h"
#include "link/repeatlimiter.h"
#include "link/station.h"

#include <QHash>

#include <algorithm>
#include <cstdio>

SiteBuses::SiteBuses(const Site& site, QObject* parent)
    : QObject(parent)
{
    for (const SiteLink& siteLink : site.links)
        m_links.append(makeLink(siteLink));
}

SiteBuses::Link SiteBuses::makeLink(const SiteLink& siteLink)
{
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
    const Link link{name, bus, siteLink.displayNames, siteLink};
    if (m_tracing)
        trace(link);
    return link;
}

void SiteBuses::open()
{
    m_opened = true;
    for (const Link& link : m_links)
        open(link);
}

void SiteBuses::open(const Link& link)
{
    qCInfo(lcBus, "%s: polling %d energizers", qUtf8Printable(link.name), link.bus->stations().size());
    link.bus->open();
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
    m_tracing = true;
    for (const Link& link : m_links)
        trace(link);
}

void SiteBuses::trace(const Link& link)
{
    const QString name = link.name;
    auto trace = [name](const char* direction, const QByteArray& frame) {
        std::fprintf(stderr, "%s %s\n", qUtf8Printable(name), qUtf8Printable(traceLine(direction, frame)));
    };
    connect(link.bus, &EnergizerBus::frameSent, this, [trace](const QByteArray& f) { trace("TX", f); });
    connect(link.bus, &EnergizerBus::replyTaken, this, [trace](const QByteArray& f) { trace("RX", f); });
}

SiteBuses::Changes SiteBuses::apply(const Site& site)
{
    Changes changes;
    QHash<QString, Link> before;
    for (const Link& link : qAsConst(m_links))
        before.insert(link.name, link);
    m_links.clear();
    for (const SiteLink& siteLink : site.links) {
        const auto old = before.constFind(siteLink.name);
        if (old != before.constEnd() && old->config == siteLink) {
            // Its pace changes while it runs.
            m_links.append(*old);
            m_links.last().config = siteLink;
            old->bus->setPollInterval(siteLink.intervalMs);
            old->bus->setTiming(siteLink.timing);
        } else {
            (old == before.constEnd() ? changes.added : changes.changed) << siteLink.name;
            m_links.append(makeLink(siteLink));
        }
    }
    QVector<EnergizerBus*> retired;
    for (const Link& link : qAsConst(before)) {
        if (std::none_of(m_links.cbegin(), m_links.cend(), [&](const Link& l) { return l.bus == link.bus; })) {
            if (!changes.changed.contains(link.name))
                changes.removed << link.name;
            // Its closing is no news either.
            for (Station* station : link.bus->stations())
                disconnect(station, nullptr, this, nullptr);
            disconnect(link.bus, nullptr, this, nullptr);
            retired << link.bus;
        }
    }
    emit linksChanged();
    // Closed before the new ones open: a changed link may reuse the same port.
    for (EnergizerBus* bus : qAsConst(retired)) {
        bus->setPollInterval(0);
        bus->close();
        bus->deleteLater();
    }
    for (const Link& link : qAsConst(m_links)) {
        if (m_opened && (changes.added.contains(link.name) || changes.changed.contains(link.name)))
            open(link);
    }
    return changes;
}

#include "moc_sitebuses.cpp"
