#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>

class Energizer;
class EnergizerBus;

// One energizer on a bus: its address, its state and whether it answers.
// Replies reach it only through the bus, which hands it those that answer
// its own requests.
class Station : public QObject
{
    Q_OBJECT
public:
    enum class Availability { Unknown, Online, Offline };
    Q_ENUM(Availability)
    // How one status poll ended.
    enum class PollOutcome { Replied, NoReply, NotSent };
    Q_ENUM(PollOutcome)

    static constexpr int StaleReplyMs = 3000;    // status older than this is reset at the next send
    static constexpr int MissedPollsOffline = 3; // and this many polls in a row unanswered
    static constexpr int MaxBackoffMs = 30000;

    // Uses the given energizer object, or one of its own when there is none.
    Station(EnergizerBus& bus, int address, Energizer* energizer, QObject* parent = nullptr);

    int address() const { return m_address; }
    // Also the address of the energizer object, as frames are built from it.
    void setAddress(int address);
    Energizer& energizer() const { return *m_energizer; }
    EnergizerBus& bus() const { return m_bus; }

    Availability availability() const { return m_availability; }
    bool isOnline() const { return m_availability == Availability::Online; }
    // Milliseconds since the epoch of the last reply, 0 before the first.
    qint64 lastReplyAt() const { return m_lastReplyAt; }
    int missedPolls() const { return m_missed; }
    // Milliseconds since the epoch of the last status poll, sent or not.
    qint64 lastPollTime() const { return m_lastPollTime; }

    // Queue a frame for this station through the bus; false when it cannot go out.
    bool send(const QByteArray& frame);
    bool pollStatus();
    bool requestConfig();

signals:
    // A status reply was decoded into the energizer object (already updated).
    void statusReceived(const QByteArray& reply);
    void configReceived(const QByteArray& reply);
    // A request of this station got no reply within its timeout.
    void requestTimedOut(quint8 command);
    // Every status poll ends in exactly one of these, after statusReceived()
    // or requestTimedOut(); NotSent while the line is down.
    void polled(Station::PollOutcome outcome);
    // The energizer went off line (closed, port lost, replies stale).
    void wentOffline();
    void availabilityChanged(Station::Availability availability);

private:
    friend class EnergizerBus;
    // From the bus.
    void takeReply(const QByteArray& reply);
    void missedReply(quint8 command);
    void checkStale();
    void lineClosed();
    // The energizer object's online flag, as the window shows it; the
    // availability above is the on-line rule for everything else.
    void lineOpened();
    void terminalNotReady();
    void setAvailability(Availability availability);
    // Time between polls of this station: the interval, longer while off line.
    int pollIntervalMs(int intervalMs) const;

    EnergizerBus& m_bus;
    int m_address;
    Energizer* m_energizer;
    Availability m_availability = Availability::Unknown;
    QElapsedTimer m_sinceReply;
    qint64 m_lastReplyAt = 0;
    int m_missed = 0;
    int m_backoffMs = 0;
    // Scheduling, kept by the bus.
    qint64 m_lastPollAt = -1;
    qint64 m_lastPollTime = 0;
    quint64 m_pollOrder = 0;
};
