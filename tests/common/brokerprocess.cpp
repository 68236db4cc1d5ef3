#include "brokerprocess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>

BrokerProcess::BrokerProcess()
{
    // Its stdout is block-buffered in a pipe; stderr is not.
    process_.setProcessChannelMode(QProcess::MergedChannels);
    QObject::connect(&process_, &QProcess::readyReadStandardOutput, &process_, [this] {
        while (process_.canReadLine())
            log_ << QString::fromUtf8(process_.readLine()).trimmed();
    });
}

BrokerProcess::~BrokerProcess()
{
    stop();
}

quint16 BrokerProcess::freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

bool BrokerProcess::start(quint16 port, const QString& user, const QString& password)
{
    stop();
    port_ = port ? port : freePort();
    QStringList conf{QStringLiteral("listener %1 127.0.0.1").arg(port_), QStringLiteral("persistence false"),
                     QStringLiteral("log_dest stderr"), QStringLiteral("log_type all")};
    if (user.isEmpty()) {
        conf << QStringLiteral("allow_anonymous true");
    } else {
        const QString passwords = dir_.filePath(QStringLiteral("passwords"));
        if (QProcess::execute(QStringLiteral("mosquitto_passwd"), {QStringLiteral("-c"), QStringLiteral("-b"), passwords, user, password}) != 0)
            return false;
        // Started as root, mosquitto reads it as user mosquitto.
        QFile::setPermissions(dir_.path(), QFile::permissions(dir_.path()) | QFile::ReadOther | QFile::ExeOther);
        QFile::setPermissions(passwords, QFile::permissions(passwords) | QFile::ReadOther);
        conf << QStringLiteral("allow_anonymous false") << QStringLiteral("password_file ") + passwords;
    }
    QFile file(dir_.filePath(QStringLiteral("mosquitto.conf")));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(conf.join(QLatin1Char('\n')).toUtf8() + '\n');
    file.close();
    process_.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), file.fileName()});
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 5000 && process_.state() != QProcess::NotRunning) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, port_);
        if (probe.waitForConnected(200))
            return true;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        process_.waitForFinished(50);
    }
    return false;
}

void BrokerProcess::stop()
{
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.terminate();
    if (!process_.waitForFinished(3000)) {
        process_.kill();
        process_.waitForFinished(3000);
    }
}

int BrokerProcess::logCount(const QString& text) const
{
    int n = 0;
    for (const QString& line : log_)
        n += line.contains(text) ? 1 : 0;
    return n;
}
