#pragma once

#include "sim/faultinjector.h"
#include "sim/simoptions.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>

class QTimer;

// The line behind an endpoint, shared by all its peers and energizers. With
// --line-rate a reply leaves once the request and the reply would have crossed
// a line of that rate, after the turnaround, one reply after the other. With
// --collide a frame that comes in while a reply is on its way garbles both.
class SimLine : public QObject
{
    Q_OBJECT
public:
    SimLine(const LineOptions& options, bool verbose, QObject* parent = nullptr);

    // Called with every checked frame, for any address, before it is acted on.
    // False when it collided: the reply on its way is dropped and this frame
    // must be left alone.
    bool admit(const QByteArray& frame);

    // Sends the reply to a request of requestBytes through the peer's writer.
    void send(int requestBytes, const Outgoing& reply, ReplyWriter* writer);

    int collisions() const { return m_collisions; }

private:
    struct Pending
    {
        QPointer<QTimer> timer; // a child of the writer: gone with its peer
        QByteArray data;
    };
    double nowMs() const;
    double wireMs(int bytes) const;

    LineOptions m_options;
    bool m_verbose;
    QElapsedTimer m_clock;
    double m_freeAtMs = 0.0;
    QList<Pending> m_pending;
    int m_collisions = 0;
};
