#pragma once

#include "services/webconfig.h"

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QLoggingCategory>
#include <QObject>
#include <QString>
#include <QVector>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

class BasicAuth;
class FailureLimiter;
class QTimer;
struct MHD_Daemon;
struct MHD_Connection;

Q_DECLARE_LOGGING_CATEGORY(lcMetrics)

// All a metrics endpoint is made of; a new one (a reloaded site file) is a new listen().
struct MetricsServerOptions
{
    QHostAddress address = QHostAddress(QHostAddress::LocalHost);
    quint16 port = 0; // 0: any free one, see serverPort()
    WebConfig web; // TLS and logins; empty: plain HTTP for anyone
    unsigned connectionLimit = 32; // besides the streams
    unsigned connectionsPerAddress = 8;
    unsigned streamLimit = 64; // open /api/stream connections, from any address
    // From a connection's start or its last answer to the end of the next answer;
    // a client idle or slower than that is cut.
    int requestSeconds = 10;
    int failedLoginsPerMinute = 10; // per address; more are answered 429
};

// A request for the web page or its API, as the web page's owner sees it.
struct WebRequest
{
    QByteArray method;
    QByteArray path;
    QHash<QString, QString> query;
    QString user; // who logged in; empty without logins
    QByteArray body;
    QByteArray acceptLanguage;
    QByteArray token; // X-CSRF-Token
};

struct WebReply
{
    int status = 404;
    QByteArray contentType = "text/plain; charset=utf-8";
    QByteArray body = "not found\n";
};

// GET /metrics over libmicrohttpd in a thread of its own, so that TLS
// handshakes and bcrypt checks (~0.1 s each) never hold the event loop. The
// body is made in the owner's thread: a scrape that passed its checks asks the
// event loop for it and waits (2 s at most); it never waits for a poll.
class MetricsServer : public QObject
{
    Q_OBJECT
public:
    using BodySource = std::function<QByteArray()>;
    using WebSource = std::function<WebReply(const WebRequest&)>;
    using StreamStart = std::function<QByteArray(const WebRequest&)>;

    explicit MetricsServer(QObject* parent = nullptr);
    ~MetricsServer() override;

    // Binds exactly address:port. False with errorString() set when that
    // fails, e.g. the port is taken or a certificate does not load.
    bool listen(const MetricsServerOptions& options);
    void close();
    bool isListening() const { return m_daemon != nullptr; }
    quint16 serverPort() const { return m_port; }
    QString errorString() const { return m_error; }

    // The body of the next scrapes.
    void setBody(const QByteArray& body) { m_body = body; }
    // Or asked for at each scrape, in this object's thread. Replaces setBody's body.
    void setBodySource(BodySource source) { m_source = std::move(source); }
    // Every other path, answered in this object's thread; none: 404.
    void setWebSource(WebSource source) { m_web = std::move(source); }
    // GET /api/stream: server-sent events, the first made by start in this
    // object's thread, then whatever publish() sends to every stream.
    void setStreamStart(StreamStart start) { m_streamStart = std::move(start); }
    // One or more whole events ("event: x\ndata: ...\n\n"); from this object's thread.
    void publish(const QByteArray& events);
    int streamCount() const;

private:
    friend struct MhdCallbacks;
    using Clock = std::chrono::steady_clock;
    struct Open
    {
        int fd = -1;
        Clock::time_point since;
        QByteArray address;
        bool stream = false; // an event stream: neither slow nor counted with the requests
    };
    struct Stream
    {
        MetricsServer* server = nullptr;
        MHD_Connection* connection = nullptr;
        QByteArray pending;
        bool suspended = false;
        bool dropped = false; // fell too far behind
    };
    struct Job; // work for this object's thread that an HTTP request waits for

    void makeBody();
    void cutSlowClients();
    // On the HTTP thread: a body made after this call; false when none came in time.
    bool waitForBody(QByteArray* body);
    // On the HTTP thread: runs work in this object's thread; false when it did not run in time.
    bool runHere(std::function<void()> work);
    void resumeStreams(QVector<MHD_Connection*> connections);

    MHD_Daemon* m_daemon = nullptr;
    QTimer* m_slowTimer = nullptr;
    MetricsServerOptions m_options;
    quint16 m_port = 0;
    QString m_error;
    QString m_startLog; // MHD's words while starting: the reason a bind failed
    std::atomic_bool m_starting{false}; // read by MHD's thread too
    QByteArray m_body;
    BodySource m_source;
    WebSource m_web;
    StreamStart m_streamStart;
    int m_heartbeat = 0;
    // Touched only by the HTTP thread.
    std::unique_ptr<BasicAuth> m_auth;
    std::unique_ptr<FailureLimiter> m_failures;
    // Shared by both threads.
    mutable std::mutex m_mutex;
    std::condition_variable m_bodyMade;
    QByteArray m_lastBody;
    quint64 m_bodies = 0; // bodies made so far
    bool m_bodyAsked = false;
    bool m_closing = false;
    QHash<MHD_Connection*, Open> m_open;
    QHash<MHD_Connection*, Stream*> m_streams;
    std::mutex m_jobMutex; // before m_mutex when both
    std::condition_variable m_jobDone;
};
