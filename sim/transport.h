#pragma once

#include "sim/simoptions.h"

#include <QObject>
#include <QString>

class SimLine;
class StationSet;

// Where a transport's sessions find the energizers, their faults and the line.
struct SessionContext
{
    StationSet& stations;
    SimLine& line;
    FaultOptions writerFaults;
    bool verbose;
};

// A listening endpoint on loopback (or a pseudo-terminal).
class SimTransport : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    // Starts listening; on failure returns false with the reason in *error.
    virtual bool start(QString* error) = 0;
    // The READY line's text after "READY ", e.g. "udp 127.0.0.1:6128".
    virtual QString endpoint() const = 0;
};
