#pragma once

#include "simprocess.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// mosquitto_sub -v as a child: one "topic payload" line per message, each
// kept with the time it arrived (SimProcess::nowMs()).
class MqttSubscriber
{
public:
    static constexpr int WaitMs = 6000;

    struct Message { qint64 atMs; QString topic; QByteArray payload; };
    using Check = std::function<bool(const QByteArray&)>;

    MqttSubscriber(quint16 port, const QStringList& topics, const QStringList& extra = {});
    ~MqttSubscriber();

    // The index of the first message from index `from` on with this topic
    // and a payload that passes the check; -1 when none came in time.
    int waitFor(const QString& topic, const Check& check, int from = 0, int timeoutMs = WaitMs);
    bool waitForExit();

    static Check is(const QByteArray& payload)
    {
        return [payload](const QByteArray& p) { return p == payload; };
    }

    QList<Message> messages;

private:
    void read();

    ChildProcess process_;
};
