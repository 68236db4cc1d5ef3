#include "mqttsubscriber.h"

#include "brokerprocess.h"

#include <QTest>

MqttSubscriber::MqttSubscriber(quint16 port, const QStringList& topics, const QStringList& extra)
{
    QStringList args{"-h", "127.0.0.1", "-p", QString::number(port), "-v"};
    for (const QString& t : topics)
        args << "-t" << t;
    QObject::connect(&process_, &QProcess::readyReadStandardOutput, &process_, [this] { read(); });
    process_.start("mosquitto_sub", args + extra);
}

MqttSubscriber::~MqttSubscriber()
{
    stopChild(process_);
}

int MqttSubscriber::waitFor(const QString& topic, const Check& check, int from, int timeoutMs)
{
    int found = -1;
    return QTest::qWaitFor([&] {
        for (; found < 0 && from < messages.size(); ++from)
            found = messages[from].topic == topic && check(messages[from].payload) ? from : -1;
        return found >= 0;
    }, timeoutMs) ? found : -1;
}

bool MqttSubscriber::waitForExit()
{
    return process_.waitForFinished(WaitMs) && (read(), true);
}

void MqttSubscriber::read()
{
    while (process_.canReadLine()) {
        const QByteArray line = process_.readLine().chopped(1);
        const int space = line.indexOf(' ');
        messages.append({SimProcess::nowMs(), QString::fromUtf8(line.left(space)), line.mid(space + 1)});
    }
}
