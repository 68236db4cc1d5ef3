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
    };

    explicit SiteBuses(const Site& site, QObject* parent = nullptr);

    const QVector<Link>& links() const { return m_links; }

    void open();
    void close();
    // Every frame on stderr, "north TX 01 01 01 E3", as energizer-cli -v.
    void traceFrames();

private:
    QVector<Link> m_links;
    bool m_closing = false;
};
