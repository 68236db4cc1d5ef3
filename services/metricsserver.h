#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QLoggingCategory>
#include <QObject>
#include <QString>

#include <functional>

class QSocketNotifier;
class QTimer;
struct MHD_Daemon;
struct MHD_Connection;

Q_DECLARE_LOGGING_CATEGORY(lcMetrics)

// GET /metrics over libmicrohttpd, run from this thread's event loop: MHD has
// no thread of its own, so its callbacks run inside MHD_run() here and may
// read the body without locks. A scrape answers with the latest body and never
// waits for a poll.
class MetricsServer : public QObject
{
    Q_OBJECT
public:
    using BodySource = std::function<QByteArray()>;

    static constexpr unsigned ConnectionLimit = 32;
    static constexpr unsigned ConnectionTimeoutSeconds = 10;

    explicit MetricsServer(QObject* parent = nullptr);
    ~MetricsServer() override;

    // Binds exactly address:port (port 0: any free one, see serverPort()).
    // False with errorString() set when that fails, e.g. the port is taken.
    bool listen(const QHostAddress& address, quint16 port);
    void close();
    bool isListening() const { return m_daemon != nullptr; }
    quint16 serverPort() const { return m_port; }
    QString errorString() const { return m_error; }

    // The body of the next scrapes.
    void setBody(const QByteArray& body) { m_body = body; }
    // Or asked for at each scrape; it must answer at once. Replaces setBody's body.
    void setBodySource(BodySource source) { m_source = std::move(source); }

signals:
    void scraped();

private:
    friend struct MhdCallbacks;

    void run();
    void schedule();

    MHD_Daemon* m_daemon = nullptr;
    QSocketNotifier* m_notifier = nullptr;
    QTimer* m_timer = nullptr;
    quint16 m_port = 0;
    QString m_error;
    QString m_startLog; // MHD's words while starting: the reason a bind failed
    bool m_starting = false;
    int m_scrapes = 0; // answered inside the current MHD_run
    QByteArray m_body;
    BodySource m_source;
};
