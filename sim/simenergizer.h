#pragma once

#include "protocol/configrecord.h"

#include <QByteArray>
#include <QObject>
#include <QRandomGenerator>
#include <QStringList>
#include <QTimer>

// A value that wanders by at most one count per step inside [lo, hi].
struct Wander
{
    int value = 0;
    int lo = 0;
    int hi = 0;
    void setRange(int low, int high);
    void step(QRandomGenerator& rng);
};

// The simulated energizer: zone state, alarm and input bits, moving measurements,
// and the stored configuration block. Builds the status and configuration replies.
class SimEnergizer : public QObject
{
    Q_OBJECT
public:
    struct Zone
    {
        bool on = false;
        bool hv = true;
        Wander output;  // counts of 125 V
        Wander drop;    // return is this many counts below the output
        Wander cap;     // counts of 6.25 V
        Wander level;   // fence level 0..9
    };

    SimEnergizer(int address, const ConfigBlock& config, quint32 seed, QObject* parent = nullptr);

    int address() const { return m_address; }
    // An energizer that loses written blocks, for testing write confirmation.
    void setIgnoreWrites(bool ignore) { m_ignoreWrites = ignore; }

    // Acts on a request frame already checked for checksum and address.
    // Returns the reply to send, or an empty array when the request has none.
    QByteArray handleRequest(const QByteArray& frame);

    QByteArray statusReply() const;
    QByteArray configReply() const;

    const Zone& zone(int index) const { return m_zones[index]; }
    void setZones(bool hv1, bool hv2, bool on1, bool on2);

    // Alarm and input bits of the status block, by name (see bitNames()).
    static QStringList bitNames();
    bool setBit(const QString& name, bool on); // false for an unknown name
    bool bit(const QString& name) const;

    // Moves the measurements one step; a timer calls it every 200 ms.
    void step();

private:
    void applyZoneRanges(Zone& zone);

    int m_address;
    int m_outputOffset; // counts above address 1's output voltages
    bool m_ignoreWrites = false;
    ConfigBlock m_config;
    QRandomGenerator m_rng;
    Zone m_zones[2];
    quint8 m_flags[27] = {}; // alarm and input bits at their status reply offsets
    Wander m_battery;
    Wander m_supply;
    QTimer m_stepTimer;
};
