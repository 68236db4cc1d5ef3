#include "sim/session.h"

#include "sim/output.h"
#include "sim/simline.h"
#include "sim/stationset.h"

namespace {
// A real line has no inter-byte pauses this long inside a frame.
constexpr int StalePartialMs = 500;
}

Session::Session(const SessionContext& context, bool stream, ReplyWriter::WriteFn write, QObject* parent)
    : QObject(parent), m_stations(context.stations), m_line(context.line), m_parser(context.stations.addresses()),
      m_writer(context.writerFaults, context.verbose, std::move(write)), m_verbose(context.verbose), m_stream(stream)
{
    m_staleTimer.setSingleShot(true);
    m_staleTimer.setInterval(StalePartialMs);
    connect(&m_staleTimer, &QTimer::timeout, this, [this] { handle(m_parser.flush()); });
}

void Session::receive(const QByteArray& bytes)
{
    handle(m_parser.feed(bytes));
    if (!m_stream)
        handle(m_parser.flush());
    else if (m_parser.hasPending())
        m_staleTimer.start();
    else
        m_staleTimer.stop();
}

void Session::handle(const QVector<RequestParser::Event>& events)
{
    for (const RequestParser::Event& e : events) {
        if (e.frame && !m_line.admit(e.bytes))
            continue;
        if (!e.accepted) {
            if (m_verbose)
                printLine(QStringLiteral("IGNORED %1 %2").arg(e.reason, hexBytes(e.bytes)));
            continue;
        }
        if (m_verbose)
            printLine(QStringLiteral("RX ") + hexBytes(e.bytes));
        StationSet::Station* station = m_stations.find(static_cast<quint8>(e.bytes.at(0)));
        const QByteArray reply = station->energizer->handleRequest(e.bytes);
        Outgoing out;
        if (!reply.isEmpty() && station->faults->prepare(reply, &out))
            m_line.send(e.bytes.size(), out, &m_writer);
    }
}
