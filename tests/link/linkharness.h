#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QProcess>
#include <QStringList>

#include <functional>

class MainWindow;
class SettingsDlg;

// Milliseconds since the test process started; one clock for every record.
qint64 nowMs();

// A child that dies with the test, even when the test is killed on a timeout.
class ChildProcess : public QProcess
{
protected:
    void setupChildProcess() override;
};

// energizer-sim run as a child process, with every frame it sees recorded.
class Sim : public QObject
{
    Q_OBJECT
public:
    explicit Sim(QObject* parent = nullptr);
    ~Sim() override;

    // Starts with --verbose and the given arguments; waits for READY.
    bool start(const QStringList& args);
    void stop();
    bool running() const { return m_process.state() != QProcess::NotRunning; }
    quint16 port() const { return m_port; }

    // Sends one stdin command and returns the answer line that starts with answerPrefix.
    QString command(const QString& line, const QString& answerPrefix);
    // Times of the frames received ("RX") or sent ("TX") that start with these hex bytes.
    QList<qint64> frames(const QString& direction, const QString& hexPrefix) const;
    int count(const QString& direction, const QString& hexPrefix, qint64 sinceMs = 0) const;
    QString firstFrame(const QString& direction) const;

private:
    void readOutput();

    ChildProcess m_process;
    QByteArray m_partial;
    QList<QPair<qint64, QString>> m_lines;
    quint16 m_port = 0;
};

// Writes setting.ini beside the test executable; must precede any MainWindow.
void writeSettingsIni(int comMode, int netMode, const QString& ipAddress, int portNumber,
                      const QString& ownIpAddress = QStringLiteral("127.0.0.1"));

// Runs the main window's settings dialog, lets edit() change its widgets, applies it.
void applySettings(MainWindow& window, const std::function<void(SettingsDlg&)>& edit);

// A free port on 127.0.0.1 that nothing listens on at the moment.
quint16 unusedUdpPort();

// Hand-made status reply (27 bytes, code 0x81) for fake modules.
QByteArray handMadeStatusReply();

template <class T>
T* child(QObject* parent, const char* name)
{
    return parent->findChild<T*>(QLatin1String(name));
}

// The main window's status-bar label text.
QString statusText(MainWindow& window);

// Request frames the link must send to energizer address 1.
namespace Wire {
const QString StatusRequest = QStringLiteral("01 01 01 E3");
const QString ConfigRead = QStringLiteral("01 01 02 01");
const QString ZoneCommand = QStringLiteral("01 01 05");
const QString ConfigWrite = QStringLiteral("01 01 04");
const QString StatusReply = QStringLiteral("01 01 81");
}
