#include "sim/session.h"

#include "sim/output.h"
#include "sim/simenergizer.h"

namespace {
// A real line has no inter-byte pauses this long inside a frame.
constexpr int StalePartialMs = 500;
}

Session::Session(SimEnergizer& energizer, FaultInjector& faults, const FaultOptions& writerFaults, bool verbose,
                 bool stream, ReplyWriter::WriteFn write, QObject* parent)
    : QObject(parent), energizer_(energizer), faults_(faults), parser_(energizer.address()),
      writer_(writerFaults, verbose, std::move(write)), verbose_(verbose), stream_(stream)
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
        if (!e.accepted) {
            if (verbose_)
                printLine(QStringLiteral("IGNORED %1 %2").arg(e.reason, hexBytes(e.bytes)));
            continue;
        }
        if (verbose_)
            printLine(QStringLiteral("RX ") + hexBytes(e.bytes));
        const QByteArray reply = energizer_.handleRequest(e.bytes);
        if (!reply.isEmpty())
            faults_.submit(reply, &writer_);
    }
}
