#include "linkharness.h"

#include "app/mainwindow.h"
#include "settings/settingsdlg.h"

#include <QAction>
#include <QLabel>
#include <QCoreApplication>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <QUdpSocket>
#include <QtTest>

#include <csignal>
#include <sys/prctl.h>

qint64 nowMs()
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return clock.elapsed();
}

void ChildProcess::setupChildProcess()
{
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
}

Sim::Sim(QObject* parent)
    : QObject(parent)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(&m_process, &QProcess::readyReadStandardOutput, this, &Sim::readOutput);
}

Sim::~Sim()
{
    stop();
}

bool Sim::start(const QStringList& args)
{
    const QString program = qEnvironmentVariable("EC_SIM");
    if (program.isEmpty())
        return false;
    m_lines.clear();
    m_partial.clear();
    m_port = 0;
    m_process.start(program, QStringList{QStringLiteral("--verbose")} + args);
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 5000) {
        for (const auto& line : qAsConst(m_lines)) {
            if (line.second.startsWith(QLatin1String("READY"))) {
                m_port = line.second.section(QLatin1Char(':'), -1).toUShort();
                return true;
            }
        }
        if (m_process.state() == QProcess::NotRunning)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        m_process.waitForReadyRead(20);
    }
    return false;
}

void Sim::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

QString Sim::command(const QString& line, const QString& answerPrefix)
{
    const int before = m_lines.size();
    m_process.write(line.toUtf8() + '\n');
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 3000) {
        for (int i = before; i < m_lines.size(); ++i) {
            if (m_lines.at(i).second.startsWith(answerPrefix))
                return m_lines.at(i).second;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return {};
}

QList<qint64> Sim::frames(const QString& direction, const QString& hexPrefix) const
{
    const QString wanted = direction + QLatin1Char(' ') + hexPrefix;
    QList<qint64> times;
    for (const auto& line : m_lines) {
        if (line.second.startsWith(wanted))
            times << line.first;
    }
    return times;
}

int Sim::count(const QString& direction, const QString& hexPrefix, qint64 sinceMs) const
{
    int n = 0;
    for (qint64 t : frames(direction, hexPrefix))
        n += t >= sinceMs ? 1 : 0;
    return n;
}

QString Sim::firstFrame(const QString& direction) const
{
    for (const auto& line : m_lines) {
        if (line.second.startsWith(direction + QLatin1Char(' ')))
            return line.second.mid(direction.size() + 1);
    }
    return {};
}

void Sim::readOutput()
{
    m_partial += m_process.readAllStandardOutput();
    int end;
    while ((end = m_partial.indexOf('\n')) >= 0) {
        m_lines.append({nowMs(), QString::fromUtf8(m_partial.left(end)).trimmed()});
        m_partial.remove(0, end + 1);
    }
}

void writeSettingsIni(int comMode, int netMode, const QString& ipAddress, int portNumber,
                      const QString& ownIpAddress)
{
    QSettings ini(QCoreApplication::applicationDirPath() + QStringLiteral("/setting.ini"), QSettings::IniFormat);
    ini.setIniCodec("UTF-8");
    ini.clear();
    ini.setValue(QStringLiteral("ownIPAddress"), ownIpAddress);
    ini.setValue(QStringLiteral("IPAddress"), ipAddress);
    ini.setValue(QStringLiteral("portNumber"), portNumber);
    ini.setValue(QStringLiteral("comMode"), comMode);
    ini.setValue(QStringLiteral("UDP"), netMode);
    ini.sync();
}

void applySettings(MainWindow& window, const std::function<void(SettingsDlg&)>& edit)
{
    auto* dialog = window.findChild<SettingsDlg*>();
    QVERIFY(dialog);
    QTimer::singleShot(0, dialog, [dialog, edit] {
        edit(*dialog);
        dialog->findChild<QPushButton*>(QStringLiteral("btnApply"))->click();
    });
    auto* action = window.findChild<QAction*>(QStringLiteral("actSerialParams"));
    QVERIFY(action);
    action->trigger();
}

quint16 unusedUdpPort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress(QHostAddress::LocalHost), 0);
    return probe.localPort();
}

QByteArray handMadeStatusReply()
{
    // Zone 1 on in low voltage, 13.625 V battery, everything else quiet.
    QByteArray reply(27, '\0');
    reply[0] = 0x01;
    reply[1] = 0x01;
    reply[2] = static_cast<char>(0x81);
    reply[9] = 0x6D;
    reply[13] = static_cast<char>(0x81);
    return reply;
}

QString statusText(MainWindow& window)
{
    return child<QLabel>(&window, "statusLabel")->text();
}
