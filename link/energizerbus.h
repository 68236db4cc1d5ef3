#pragma once

#include "link/bustiming.h"
#include "link/linkspec.h"
#include "link/linkstatus.h"
#include "link/station.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QQueue>
#include <QTimer>
#include <QVector>

class Energizer;
class LinkTransport;

// Many energizers on one line, one request at a time. Every frame goes
// through the bus's queue; a request that expects a reply stays outstanding
// until the reply that answers it, or its own timeout. Replies that answer
// nothing outstanding are dropped, so a late or stray reply is never shown as
// another energizer's. Commands go before polls; polls take turns. An
// energizer that stopped answering is asked in the time the others leave
// free, and otherwise less and less often, unless back-off is off. Every
// status poll ends in one Station::polled() outcome.
class EnergizerBus : public QObject
{
    Q_OBJECT
public:
    using Timing = BusTiming;
    static constexpr int ReconnectPauseMs = 1000; // own polling while the line is down

    explicit EnergizerBus(QObject* parent = nullptr);
    ~EnergizerBus() override;

    LinkTransport& transport() const { return *m_transport; }
    // Applies at the next open().
    void setLink(const LinkSpec& lineSpec);
    const LinkSpec& link() const;
    // Takes effect with the next frame, also while the line runs.
    void setTiming(const Timing& timing) { m_timing = timing; }
    const Timing& timing() const { return m_timing; }

    // Owned by the bus. The energizer object is used as it is, or the station
    // makes its own when none is given.
    Station* addStation(int address, Energizer* energizer = nullptr);
    const QVector<Station*>& stations() const { return m_stations; }
    Station* station(int address) const;

    void open();
    // Closes the line; everything queued is dropped and every energizer goes off line.
    void close();

    // Queues a frame of the station. Sent at once when the bus is idle;
    // false when it could not be sent (the line is down and reopening).
    bool send(Station& station, const QByteArray& frame);
    // The same for the station that the frame's address byte names (the only
    // one on a one-station bus).
    bool send(const QByteArray& frame);

    // Polls every station of its own, each once per interval at most;
    // 0 leaves polling to the callers.
    void setPollInterval(int ms);
    int pollIntervalMs() const { return m_pollIntervalMs; }
    // Off: a silent energizer is still asked every interval (a log of every poll).
    void setBackOff(bool on) { m_backOff = on; }
    bool backsOff() const { return m_backOff; }
    // Off: an off-line energizer waits for its back-off even on an idle line
    // (what the bus did before it used the spare time).
    void setAskInSpareTime(bool on) { m_askInSpareTime = on; }

    // How long a request waits for its reply on this line.
    int replyTimeoutMs(int requestLength, int replyLength) const;
    bool isIdle() const { return !m_outstanding.station && !m_guard.isActive(); }

    quint64 requestsTotal() const { return m_requests; }
    quint64 timeoutsTotal() const { return m_timeouts; }
    // The time between two polls of one station, as last measured; 0 before.
    qint64 lastCycleMs() const { return m_lastCycleMs; }

signals:
    // The current transport's, whichever it is.
    void statusChanged(const LinkStatus& status);
    void opened();
    void usable();
    void unknownResponse(quint8 code);
    void frameSent(const QByteArray& frame);
    void replyTaken(const QByteArray& reply);
    void replyDropped(const QByteArray& reply, const QString& reason);
    // Nothing queued, nothing outstanding.
    void drained();

private:
    struct Request
    {
        QPointer<Station> station;
        QByteArray frame;
        quint8 expect = 0; // response code, 0 for none
    };

    void use(LinkTransport* transport);
    void takeReply(const QByteArray& reply);
    void timedOut();
    void pump();
    bool transmit(const Request& request);
    Station* duePoll(qint64 now, qint64* wait) const;
    Station* spareTimePoll(qint64 now, qint64* wait) const;
    void notePoll(Station& station, qint64 now);
    void dropQueued();
    void notSent(const Request& request);
    qint64 now() const { return m_clock.elapsed(); }

    LinkTransport* m_transport = nullptr;
    // One per kind used so far, kept: a serial port handed out stays valid.
    QHash<int, LinkTransport*> m_transports;
    Timing m_timing;
    QVector<Station*> m_stations;
    QQueue<Request> m_commands;
    QQueue<Request> m_polls;
    Request m_outstanding;
    QTimer m_replyTimer;
    QTimer m_guard;
    QTimer m_pollTimer;
    QElapsedTimer m_clock;
    int m_pollIntervalMs = 0;
    qint64 m_pausedUntil = 0;
    quint64 m_pollSequence = 0;
    quint64 m_requests = 0;
    quint64 m_timeouts = 0;
    qint64 m_lastCycleMs = 0;
    bool m_pumping = false;
    bool m_backOff = true;
    bool m_askInSpareTime = true;
};
