#include "sim/session.h"

#include "sim/output.h"
#include "sim/simline.h"
#include "sim/stationset.h"

namespace {
// A real line has no inter-byte pauses this long inside a frame.
constexpr int StalePartialMs = 500;
}

Session::Session(const SessionContext& context, bool stream, ReplyWriter::WriteFn write, QObject* parent)
    : QObject(parent), stations_(context.stations), line_(context.line), parser_(context.stations.addresses()),
      writer_(context.writerFaults, context.verbose, std::move(write)), verbose_(context.verbose), stream_(stream)
{
    staleTimer_.setSingleShot(true);
    staleTimer_.setInterval(StalePartialMs);
    connect(&staleTimer_, &QTimer::timeout, this, [this] { handle(parser_.flush()); });
}

void Session::receive(const QByteArray& bytes)
{
    handle(parser_.feed(bytes));
    if (!stream_)
        handle(parser_.flush());
    else if (parser_.hasPending())
        staleTimer_.start();
    else
        staleTimer_.stop();
}

void Session::handle(const QVector<RequestParser::Event>& events)
{
    for (const RequestParser::Event& e : events) {
        if (e.frame && !line_.admit(e.bytes))
            continue;
        if (!e.accepted) {
            if (verbose_)
                printLine(QStringLiteral("IGNORED %1 %2").arg(e.reason, hexBytes(e.bytes)));
            continue;
        }
        if (verbose_)
            printLine(QStringLiteral("RX ") + hexBytes(e.bytes));
        StationSet::Station* station = stations_.find(static_cast<quint8>(e.bytes.at(0)));
        const QByteArray reply = station->energizer->handleRequest(e.bytes);
        Outgoing out;
        if (!reply.isEmpty() && station->faults->prepare(reply, &out))
            line_.send(e.bytes.size(), out, &writer_);
    }
}
