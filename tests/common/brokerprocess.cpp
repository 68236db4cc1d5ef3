#include "brokerprocess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <csignal>

ToolProcess::ToolProcess(const QString& program, const QStringList& args)
{
    QObject::connect(&process_, &QProcess::readyReadStandardError, &process_, [this] { err += process_.readAllStandardError(); });
    QObject::connect(&process_, &QProcess::readyReadStandardOutput, &process_, [this] { out += process_.readAllStandardOutput(); });
    process_.start(program, args);
}

bool ToolProcess::waitForStderr(const QString& text)
{
    return QTest::qWaitFor([&] { return err.contains(text.toUtf8()); }, 8000);
}

int ToolProcess::exitCode()
{
    if (!QTest::qWaitFor([&] { return process_.state() == QProcess::NotRunning; }, 8000))
        return -1;
    return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
}

void ToolProcess::signal(int sig)
{
    ::kill(static_cast<pid_t>(process_.processId()), sig);
}

BrokerProcess::BrokerProcess()
{
    // Its stdout is block-buffered in a pipe; stderr is not.
    process_.setProcessChannelMode(QProcess::MergedChannels);
    QObject::connect(&process_, &QProcess::readyReadStandardOutput, &process_, [this] { log_ += process_.readAll(); });
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
    const QString passwords = dir_.filePath(QStringLiteral("passwords"));
    QString conf = QStringLiteral("persistence false\nlog_dest stderr\nlog_type all\nlistener %1 127.0.0.1\n").arg(port_);
    if (!tls_.certFile.isEmpty()) {
        tlsPort_ = freePort();
        conf += QStringLiteral("listener %1 127.0.0.1\ncertfile %2\nkeyfile %3\ncafile %4\nrequire_certificate %5\n")
                    .arg(tlsPort_).arg(tls_.certFile, tls_.keyFile, tls_.caFile, tls_.requireCertificate ? "true" : "false");
    }
    if (user.isEmpty())
        conf += QStringLiteral("allow_anonymous true\n");
    else if (QProcess::execute(QStringLiteral("mosquitto_passwd"), {QStringLiteral("-c"), QStringLiteral("-b"), passwords, user, password}) != 0)
        return false;
    else
        conf += QStringLiteral("allow_anonymous false\npassword_file %1\n").arg(passwords);
    // Started as root, mosquitto reads them as user mosquitto.
    QFile::setPermissions(dir_.path(), QFile::permissions(dir_.path()) | QFile::ReadOther | QFile::ExeOther);
    QFile::setPermissions(passwords, QFile::permissions(passwords) | QFile::ReadOther);
    QFile file(dir_.filePath(QStringLiteral("mosquitto.conf")));
    if (!file.open(QIODevice::WriteOnly) || file.write(conf.toUtf8()) < 0 || !file.flush())
        return false;
    process_.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), file.fileName()});
    for (QDeadlineTimer deadline(5000); !deadline.hasExpired() && process_.state() != QProcess::NotRunning; process_.waitForFinished(50)) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, port_);
        if (probe.waitForConnected(200))
            return true;
    }
    return false;
}
