#pragma once

#include <QByteArray>
#include <QString>

class SiteBuses;

// The metrics body from what the buses last polled; never waits for a poll.
class GatewayMetrics
{
public:
    GatewayMetrics(const SiteBuses& buses, const QString& version);

    QByteArray body() const;

private:
    const SiteBuses& m_buses;
    QString m_version;
};
