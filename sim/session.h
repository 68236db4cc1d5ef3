#pragma once

#include "sim/faultinjector.h"
#include "sim/requestparser.h"
#include "sim/transport.h"

#include <QObject>
#include <QTimer>

// One peer of a transport: parses what it sends, lets the addressed energizer
// answer, and passes the replies through its faults and the line to the peer.
class Session : public QObject
{
    Q_OBJECT
public:
    // A stream session keeps partial frames between reads (for a while);
    // a datagram session treats every call of receive() as complete.
    Session(const SessionContext& context, bool stream, ReplyWriter::WriteFn write, QObject* parent = nullptr);

    void receive(const QByteArray& bytes);

private:
    void handle(const QVector<RequestParser::Event>& events);

    StationSet& m_stations;
    SimLine& m_line;
    RequestParser m_parser;
    ReplyWriter m_writer;
    bool m_verbose;
    bool m_stream;
    QTimer m_staleTimer;
};
