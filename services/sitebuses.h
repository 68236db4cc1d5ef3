#pragma once

#include "services/sitefile.h"

#include <QMap>
#include <QObject>
#include <QString>
#include <QVector>

class EnergizerBus;
class Station;

// One bus per link of the site, with a station per listed address, each
// polling its stations at the site's interval on its own.
class SiteBuses : public QObject
{
    Q_OBJECT
public:
    struct Link
    {
        QString name;
        EnergizerBus* bus = nullptr;
        QMap<int, QString> displayNames;
        SiteLink config; // as the site file gave it
    };
    // What a re-read site file changed.
    struct Changes
    {
        QStringList added, removed, changed;
    };

    explicit SiteBuses(const Site& site, QObject* parent = nullptr);

    const QVector<Link>& links() const { return m_links; }

    void open();
    void close();
    // Every frame on stderr, "north TX 01 01 01 E3", as energizer-cli -v.
    void traceFrames();

    // To a re-read site: links the same as before keep their bus and stations
    // untouched; a changed link gets new ones; the interval applies to all.
    // linksChanged() comes before the old buses close, so that whoever watches
    // their stations can let go of them first.
    Changes apply(const Site& site);

signals:
    void linksChanged();

private:
    Link makeLink(const SiteLink& siteLink);
    void open(const Link& link);
    void trace(const Link& link);

    QVector<Link> m_links;
    bool m_opened = false;
    bool m_tracing = false;
    bool m_closing = false;
};
