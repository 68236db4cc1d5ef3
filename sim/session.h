#pragma once

#include "sim/faultinjector.h"
#include "sim/requestparser.h"

#include <QObject>
#include <QTimer>

class SimEnergizer;

// One peer of a transport: parses what it sends, lets the energizer answer,
// and passes the replies through the faults to the peer.
class Session : public QObject
{
    Q_OBJECT
public:
    // A stream session keeps partial frames between reads (for a while);
    // a datagram session treats every call of receive() as complete.
    Session(SimEnergizer& energizer, FaultInjector& faults, const FaultOptions& writerFaults, bool verbose,
            bool stream, ReplyWriter::WriteFn write, QObject* parent = nullptr);

    void receive(const QByteArray& bytes);

private:
    void handle(const QVector<RequestParser::Event>& events);

    SimEnergizer& energizer_;
    FaultInjector& faults_;
    RequestParser parser_;
    ReplyWriter writer_;
    bool verbose_;
    bool stream_;
    QTimer staleTimer_;
};
