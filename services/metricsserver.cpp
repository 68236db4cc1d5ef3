#include "services/metricsserver.h"

#include "services/basicauth.h"

#include <QDateTime>
#include <QTimer>
#include <QVector>

#include <gnutls/gnutls.h>
#include <gnutls/x509.h>
#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

Q_LOGGING_CATEGORY(lcMetrics, "energizer.metrics")

namespace {

// Headers of a scrape fit easily; a client sending more is refused by MHD.
constexpr size_t ConnectionMemoryBytes = 16 * 1024;
// A body not made by then means the event loop is stuck; say so rather than hang.
constexpr auto BodyWait = std::chrono::seconds(2);
const char ContentType[] = "text/plain; version=0.0.4; charset=utf-8";
const char Realm[] = "Basic realm=\"energizer-gateway\"";
// A zone command is a few words.
constexpr int UploadBytes = 4096;
// A stream further behind than this is cut; its browser reconnects and starts afresh.
constexpr int StreamBacklogBytes = 1 << 20;
// A comment now and then: MHD's idle timeout never cuts a quiet stream, and a gone browser is noticed.
constexpr int HeartbeatTicks = 20; // of the 250 ms slow-client timer

MHD_Result queueText(MHD_Connection* connection, unsigned status, const char* text,
                     const char* header = nullptr, const QByteArray& value = {})
{
    MHD_Response* response =
        MHD_create_response_from_buffer(std::strlen(text), const_cast<char*>(text), MHD_RESPMEM_PERSISTENT);
    if (!response)
        return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, "text/plain; charset=utf-8");
    if (header)
        MHD_add_response_header(response, header, value.constData());
    const MHD_Result result = MHD_queue_response(connection, status, response);
    MHD_destroy_response(response);
    return result;
}

QByteArray addressText(const sockaddr* a)
{
    char text[INET6_ADDRSTRLEN] = {};
    if (a->sa_family == AF_INET)
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(a)->sin_addr, text, sizeof text);
    else if (a->sa_family == AF_INET6)
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(a)->sin6_addr, text, sizeof text);
    return QByteArray(text);
}

QByteArray clientAddress(MHD_Connection* connection)
{
    const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    return info && info->client_addr ? addressText(info->client_addr) : QByteArray();
}

// Why the client's certificate is not good enough; nullptr when it is.
const char* clientCertProblem(MHD_Connection* connection, WebConfig::ClientAuth mode)
{
    using A = WebConfig::ClientAuth;
    if (mode == A::NoClientCert || mode == A::RequestClientCert)
        return nullptr;
    const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_GNUTLS_SESSION);
    auto session = info ? static_cast<gnutls_session_t>(info->tls_session) : nullptr;
    unsigned count = 0;
    const bool given = session && gnutls_certificate_get_peers(session, &count) && count > 0;
    if (!given)
        return mode == A::VerifyClientCertIfGiven ? nullptr : "a client certificate is required\n";
    if (mode == A::RequireAnyClientCert)
        return nullptr;
    unsigned status = 0;
    if (gnutls_certificate_verify_peers2(session, &status) != GNUTLS_E_SUCCESS || status != 0)
        return "the client certificate is not signed by client_ca_file or not valid now\n";
    return nullptr;
}

const char* priorities(WebConfig::TlsVersion minimum)
{
    return minimum == WebConfig::TlsVersion::Tls13 ? "NORMAL:-VERS-ALL:+VERS-TLS1.3"
                                                   : "NORMAL:-VERS-ALL:+VERS-TLS1.3:+VERS-TLS1.2";
}

} // namespace

// MHD's callbacks; they run on MHD's thread.
struct MhdCallbacks
{
    // A POST's body, read before it is answered.
    struct Upload
    {
        QByteArray body;
        bool tooLarge = false;
    };

    static MHD_Result request(void* self, MHD_Connection* connection, const char* url, const char* method,
                              const char*, const char* uploadData, size_t* uploadDataSize, void** state)
    {
        const bool post = std::strcmp(method, MHD_HTTP_METHOD_POST) == 0 && std::strncmp(url, "/api/", 5) == 0;
        if (post && !*state) {
            *state = new Upload;
            return MHD_YES;
        }
        auto* upload = static_cast<Upload*>(*state);
        if (upload && *uploadDataSize > 0) {
            if (upload->body.size() + *uploadDataSize > UploadBytes)
                upload->tooLarge = true;
            else
                upload->body.append(uploadData, int(*uploadDataSize));
            *uploadDataSize = 0;
            return MHD_YES;
        }
        // Elsewhere a body would only come from a misdirected client; refuse it rather than read it.
        if (*uploadDataSize > 0 || (upload && upload->tooLarge))
            return queueText(connection, MHD_HTTP_CONTENT_TOO_LARGE, "no request body is accepted\n");
        auto* server = static_cast<MetricsServer*>(self);
        const WebConfig& web = server->m_options.web;
        if (web.hasTls()) {
            if (const char* problem = clientCertProblem(connection, web.clientAuth))
                return queueText(connection, MHD_HTTP_FORBIDDEN, problem);
        }
        QString user;
        if (server->m_auth) {
            const QByteArray address = clientAddress(connection);
            const qint64 now = QDateTime::currentMSecsSinceEpoch();
            // Refused before any bcrypt: a guesser gets a few tries a minute and no CPU.
            if (const int wait = server->m_failures->retryAfter(address, now))
                return queueText(connection, MHD_HTTP_TOO_MANY_REQUESTS, "too many failed logins; try again later\n",
                                 MHD_HTTP_HEADER_RETRY_AFTER, QByteArray::number(wait));
            const char* authorization =
                MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_AUTHORIZATION);
            if (!server->m_auth->check(authorization ? QByteArray(authorization) : QByteArray(), &user)) {
                // A first request without credentials (a browser's) is no guess.
                if (authorization) {
                    server->m_failures->failed(address, now);
                    qCWarning(lcMetrics).noquote() << "login refused for a client at" << address;
                }
                return queueText(connection, MHD_HTTP_UNAUTHORIZED, "a user name and password are required\n",
                                 MHD_HTTP_HEADER_WWW_AUTHENTICATE, Realm);
            }
        }
        if (std::strcmp(url, "/metrics") != 0 && server->m_web)
            return webAnswer(server, connection, url, method, user, upload ? upload->body : QByteArray());
        return answer(server, connection, url, method);
    }

    static MHD_Result collectQuery(void* query, MHD_ValueKind, const char* key, const char* value)
    {
        static_cast<QHash<QString, QString>*>(query)->insert(QString::fromUtf8(key), QString::fromUtf8(value ? value : ""));
        return MHD_YES;
    }

    static MHD_Result webAnswer(MetricsServer* server, MHD_Connection* connection, const char* url, const char* method,
                          const QString& user, const QByteArray& body)
    {
        WebRequest request;
        request.method = method;
        request.path = url;
        request.user = user;
        request.body = body;
        MHD_get_connection_values(connection, MHD_GET_ARGUMENT_KIND, &collectQuery, &request.query);
        const char* language = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_ACCEPT_LANGUAGE);
        request.acceptLanguage = language ? language : "";
        const char* token = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "X-CSRF-Token");
        request.token = token ? token : "";
        if (request.path == "/api/stream" && request.method == "GET" && server->m_streamStart)
            return stream(server, connection, request);
        WebReply reply;
        if (!server->runHere([&] { reply = server->m_web(request); }))
            return queueText(connection, MHD_HTTP_SERVICE_UNAVAILABLE, "the gateway did not answer in time\n");
        MHD_Response* response =
            MHD_create_response_from_buffer(size_t(reply.body.size()), reply.body.data(), MHD_RESPMEM_MUST_COPY);
        if (!response)
            return MHD_NO;
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, reply.contentType.constData());
        MHD_add_response_header(response, MHD_HTTP_HEADER_CACHE_CONTROL, "no-store");
        MHD_add_response_header(response, "X-Content-Type-Options", "nosniff");
        MHD_add_response_header(response, "X-Frame-Options", "DENY");
        const MHD_Result result = MHD_queue_response(connection, unsigned(reply.status), response);
        MHD_destroy_response(response);
        return result;
    }

    static MHD_Result stream(MetricsServer* server, MHD_Connection* connection, const WebRequest& request)
    {
        auto* s = new MetricsServer::Stream;
        s->server = server;
        s->connection = connection;
        bool full = false;
        // Its first event and its place among the streams in one step of the
        // owner's thread, so no change published in between is lost.
        const bool ran = server->runHere([&] {
            std::lock_guard<std::mutex> lock(server->m_mutex);
            if (unsigned(server->m_streams.size()) >= server->m_options.streamLimit) {
                full = true;
                return;
            }
            s->pending = server->m_streamStart(request);
            server->m_streams.insert(connection, s);
            const auto open = server->m_open.find(connection);
            if (open != server->m_open.end())
                open->stream = true;
        });
        if (!ran || full) {
            delete s;
            return queueText(connection, MHD_HTTP_SERVICE_UNAVAILABLE, full ? "too many event streams\n" : "the gateway did not answer in time\n");
        }
        MHD_Response* response = MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, 4096, &readStream, s, &streamGone);
        if (!response) {
            streamGone(s);
            return MHD_NO;
        }
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, "text/event-stream; charset=utf-8");
        MHD_add_response_header(response, MHD_HTTP_HEADER_CACHE_CONTROL, "no-store");
        const MHD_Result result = MHD_queue_response(connection, MHD_HTTP_OK, response);
        MHD_destroy_response(response);
        return result;
    }

    // Sleeps (suspended, no thread spins) until publish() has something for it.
    static ssize_t readStream(void* cls, uint64_t, char* buffer, size_t max)
    {
        auto* s = static_cast<MetricsServer::Stream*>(cls);
        std::lock_guard<std::mutex> lock(s->server->m_mutex);
        if (s->dropped || s->server->m_closing)
            return MHD_CONTENT_READER_END_WITH_ERROR;
        if (s->pending.isEmpty()) {
            s->suspended = true;
            MHD_suspend_connection(s->connection);
            return 0;
        }
        const size_t n = qMin(max, size_t(s->pending.size()));
        std::memcpy(buffer, s->pending.constData(), n);
        s->pending.remove(0, int(n));
        return ssize_t(n);
    }

    static void streamGone(void* cls)
    {
        auto* s = static_cast<MetricsServer::Stream*>(cls);
        {
            std::lock_guard<std::mutex> lock(s->server->m_mutex);
            if (s->server->m_streams.value(s->connection) == s)
                s->server->m_streams.remove(s->connection);
        }
        delete s;
    }

    // Requests are limited per address and in all; event streams have their own limit.
    static MHD_Result accept(void* self, const sockaddr* address, socklen_t)
    {
        auto* server = static_cast<MetricsServer*>(self);
        const QByteArray from = addressText(address);
        std::lock_guard<std::mutex> lock(server->m_mutex);
        unsigned all = 0;
        unsigned same = 0;
        for (const MetricsServer::Open& open : qAsConst(server->m_open)) {
            if (open.stream)
                continue;
            ++all;
            same += open.address == from ? 1 : 0;
        }
        return all < server->m_options.connectionLimit && same < server->m_options.connectionsPerAddress ? MHD_YES : MHD_NO;
    }

    static MHD_Result answer(MetricsServer* server, MHD_Connection* connection, const char* url, const char* method)
    {
        if (std::strcmp(url, "/metrics") != 0)
            return queueText(connection, MHD_HTTP_NOT_FOUND, "not found; the metrics are at /metrics\n");
        if (std::strcmp(method, MHD_HTTP_METHOD_GET) != 0 && std::strcmp(method, MHD_HTTP_METHOD_HEAD) != 0)
            return queueText(connection, MHD_HTTP_METHOD_NOT_ALLOWED, "only GET\n", MHD_HTTP_HEADER_ALLOW, "GET, HEAD");
        const char* length = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
        const char* encoding =
            MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_TRANSFER_ENCODING);
        if ((length && std::strcmp(length, "0") != 0) || encoding)
            return queueText(connection, MHD_HTTP_CONTENT_TOO_LARGE, "no request body is accepted\n");

        QByteArray body;
        if (!server->waitForBody(&body))
            return queueText(connection, MHD_HTTP_SERVICE_UNAVAILABLE, "the gateway did not make the metrics in time\n");
        // MHD copies: the body is a few kB per energizer and a scrape is rare.
        MHD_Response* response = MHD_create_response_from_buffer(size_t(body.size()), body.data(), MHD_RESPMEM_MUST_COPY);
        if (!response)
            return MHD_NO;
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, ContentType);
        const MHD_Result result = MHD_queue_response(connection, MHD_HTTP_OK, response);
        MHD_destroy_response(response);
        return result;
    }

    // Each connection's clock starts when it opens and again after each answer.
    static void connectionChanged(void* self, MHD_Connection* connection, void**, MHD_ConnectionNotificationCode code)
    {
        auto* server = static_cast<MetricsServer*>(self);
        const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
        std::lock_guard<std::mutex> lock(server->m_mutex);
        if (code == MHD_CONNECTION_NOTIFY_STARTED && info)
            server->m_open.insert(connection, {info->connect_fd, MetricsServer::Clock::now(), clientAddress(connection), false});
        else
            server->m_open.remove(connection);
    }

    static void answered(void* self, MHD_Connection* connection, void** state, MHD_RequestTerminationCode)
    {
        delete static_cast<Upload*>(*state);
        *state = nullptr;
        auto* server = static_cast<MetricsServer*>(self);
        std::lock_guard<std::mutex> lock(server->m_mutex);
        const auto it = server->m_open.find(connection);
        if (it != server->m_open.end())
            it->since = MetricsServer::Clock::now();
    }

    static void log(void* self, const char* format, va_list args)
    {
        auto* server = static_cast<MetricsServer*>(self);
        char text[512];
        std::vsnprintf(text, sizeof text, format, args);
        const QString message = QString::fromLocal8Bit(text).trimmed();
        if (server->m_starting) {
            if (!server->m_startLog.isEmpty())
                server->m_startLog += QStringLiteral("; ");
            server->m_startLog += message;
        }
        qCDebug(lcMetrics).noquote() << message;
    }
};

MetricsServer::MetricsServer(QObject* parent) : QObject(parent), m_slowTimer(new QTimer(this))
{
    m_slowTimer->setInterval(250);
    connect(m_slowTimer, &QTimer::timeout, this, &MetricsServer::cutSlowClients);
}

MetricsServer::~MetricsServer()
{
    close();
}

bool MetricsServer::listen(const MetricsServerOptions& options)
{
    close();
    m_error.clear();
    m_options = options;
    const QHostAddress& address = options.address;
    const QString where = address.protocol() == QAbstractSocket::IPv6Protocol
                              ? QStringLiteral("[%1]:%2").arg(address.toString()).arg(options.port)
                              : QStringLiteral("%1:%2").arg(address.toString()).arg(options.port);
    sockaddr_in v4{};
    sockaddr_in6 v6{};
    sockaddr* bindAddress = nullptr;
    // Epoll rather than select: the gateway may hold well over FD_SETSIZE link
    // sockets, and select cannot watch a scrape's socket numbered above that.
    unsigned flags = MHD_USE_ERROR_LOG | MHD_USE_EPOLL_INTERNAL_THREAD | MHD_ALLOW_SUSPEND_RESUME;
    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        v4.sin_family = AF_INET;
        v4.sin_port = htons(options.port);
        v4.sin_addr.s_addr = htonl(address.toIPv4Address());
        bindAddress = reinterpret_cast<sockaddr*>(&v4);
    } else if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        v6.sin6_family = AF_INET6;
        v6.sin6_port = htons(options.port);
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        std::memcpy(&v6.sin6_addr, bytes.c, sizeof bytes.c);
        bindAddress = reinterpret_cast<sockaddr*>(&v6);
        flags |= MHD_USE_IPv6;
    } else {
        m_error = QStringLiteral("cannot listen on '%1': no IP address").arg(address.toString());
        return false;
    }

    QVector<MHD_OptionItem> items{
        {MHD_OPTION_SOCK_ADDR, 0, bindAddress},
        // The requests' limits are counted in accept(), without the streams.
        {MHD_OPTION_CONNECTION_LIMIT, intptr_t(options.connectionLimit + options.streamLimit), nullptr},
        {MHD_OPTION_CONNECTION_TIMEOUT, intptr_t(options.requestSeconds), nullptr},
        {MHD_OPTION_CONNECTION_MEMORY_LIMIT, intptr_t(ConnectionMemoryBytes), nullptr},
        {MHD_OPTION_NOTIFY_CONNECTION, intptr_t(&MhdCallbacks::connectionChanged), this},
        {MHD_OPTION_NOTIFY_COMPLETED, intptr_t(&MhdCallbacks::answered), this},
    };
    // MHD keeps the pointers only while starting; these copies outlive that.
    const QByteArray cert = options.web.certPem;
    const QByteArray key = options.web.keyPem;
    const QByteArray trust = options.web.clientCaPem;
    if (options.web.hasTls()) {
        if (MHD_is_feature_supported(MHD_FEATURE_TLS) != MHD_YES) {
            m_error = QStringLiteral("cannot serve TLS on %1: this libmicrohttpd was built without it").arg(where);
            return false;
        }
        flags |= MHD_USE_TLS;
        items.append({MHD_OPTION_HTTPS_MEM_CERT, 0, const_cast<char*>(cert.constData())});
        items.append({MHD_OPTION_HTTPS_MEM_KEY, 0, const_cast<char*>(key.constData())});
        items.append({MHD_OPTION_HTTPS_PRIORITIES, 0, const_cast<char*>(priorities(options.web.minVersion))});
        if (!trust.isEmpty())
            items.append({MHD_OPTION_HTTPS_MEM_TRUST, 0, const_cast<char*>(trust.constData())});
    }
    items.append({MHD_OPTION_END, 0, nullptr});
    if (!options.web.users.isEmpty()) {
        m_auth = std::make_unique<BasicAuth>(options.web.users);
        m_failures = std::make_unique<FailureLimiter>(options.failedLoginsPerMinute);
    }
    for (const QString& note : options.web.notes)
        qCInfo(lcMetrics).noquote() << options.web.file + QStringLiteral(": ") + note;

    m_closing = false;
    m_startLog.clear();
    m_starting = true;
    m_daemon = MHD_start_daemon(flags, options.port, &MhdCallbacks::accept, this, &MhdCallbacks::request, this,
                                // First, or MHD prints its own start-up messages to stderr.
                                MHD_OPTION_EXTERNAL_LOGGER, &MhdCallbacks::log, this,
                                MHD_OPTION_ARRAY, items.data(), MHD_OPTION_END);
    m_starting = false;
    if (!m_daemon) {
        m_error = QStringLiteral("cannot listen on %1: %2")
                      .arg(where, m_startLog.isEmpty() ? QStringLiteral("the HTTP server did not start") : m_startLog);
        m_auth.reset();
        return false;
    }
    const MHD_DaemonInfo* portInfo = MHD_get_daemon_info(m_daemon, MHD_DAEMON_INFO_BIND_PORT);
    if (!portInfo) {
        close();
        m_error = QStringLiteral("cannot listen on %1: the HTTP library gives no port").arg(where);
        return false;
    }
    m_port = portInfo->port;
    m_slowTimer->start();
    qCInfo(lcMetrics).noquote() << "serving /metrics on" << address.toString() << "port" << m_port
                                << (options.web.hasTls() ? "over TLS" : "over plain HTTP")
                                << (options.web.users.isEmpty() ? "without login" : "with login");
    return true;
}

void MetricsServer::close()
{
    m_slowTimer->stop();
    if (m_daemon) {
        QVector<MHD_Connection*> suspended;
        {
            std::lock_guard<std::mutex> jobs(m_jobMutex);
            std::lock_guard<std::mutex> lock(m_mutex);
            m_closing = true;
            for (Stream* s : qAsConst(m_streams)) {
                if (s->suspended)
                    suspended << s->connection;
                s->suspended = false;
            }
        }
        m_bodyMade.notify_all();
        m_jobDone.notify_all();
        // MHD must not stop with a connection suspended; each ends at its next read.
        resumeStreams(suspended);
        MHD_stop_daemon(m_daemon);
    }
    m_daemon = nullptr;
    m_port = 0;
    m_auth.reset();
    m_failures.reset();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_open.clear();
    m_streams.clear();
}

struct MetricsServer::Job
{
    std::function<void()> work;
    bool done = false;
    bool abandoned = false;
};

bool MetricsServer::runHere(std::function<void()> work)
{
    auto job = std::make_shared<Job>();
    job->work = std::move(work);
    std::unique_lock<std::mutex> lock(m_jobMutex);
    if (m_closing)
        return false;
    QMetaObject::invokeMethod(this, [this, job] {
        // Under the lock: the HTTP thread cannot give up on it while it runs.
        {
            std::lock_guard<std::mutex> running(m_jobMutex);
            if (job->abandoned)
                return;
            job->work();
            job->done = true;
        }
        m_jobDone.notify_all();
    }, Qt::QueuedConnection);
    const bool done = m_jobDone.wait_for(lock, BodyWait, [&] { return job->done || m_closing; }) && job->done;
    job->abandoned = !done;
    return done;
}

void MetricsServer::publish(const QByteArray& events)
{
    QVector<MHD_Connection*> wake;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_closing)
            return;
        for (Stream* s : qAsConst(m_streams)) {
            if (s->pending.size() > StreamBacklogBytes)
                s->dropped = true;
            else
                s->pending += events;
            if (s->suspended)
                wake << s->connection;
            s->suspended = false;
        }
    }
    resumeStreams(wake);
}

// Outside m_mutex: MHD takes its own lock here. Each was suspended and only
// this thread resumes it, so none can have gone meanwhile.
void MetricsServer::resumeStreams(QVector<MHD_Connection*> connections)
{
    for (MHD_Connection* connection : connections)
        MHD_resume_connection(connection);
}

int MetricsServer::streamCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_streams.size();
}

bool MetricsServer::waitForBody(QByteArray* body)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    const quint64 after = m_bodies;
    if (!m_bodyAsked) {
        m_bodyAsked = true;
        QMetaObject::invokeMethod(this, &MetricsServer::makeBody, Qt::QueuedConnection);
    }
    if (!m_bodyMade.wait_for(lock, BodyWait, [&] { return m_bodies > after || m_closing; }) || m_closing)
        return false;
    *body = m_lastBody;
    return true;
}

void MetricsServer::makeBody()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bodyAsked = false;
    }
    const QByteArray body = m_source ? m_source() : m_body;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lastBody = body;
        ++m_bodies;
    }
    m_bodyMade.notify_all();
}

// MHD's own timeout counts from the last byte, so a client sending one byte
// now and then would hold its connection for ever; this counts from the start.
void MetricsServer::cutSlowClients()
{
    if (++m_heartbeat >= HeartbeatTicks) {
        m_heartbeat = 0;
        publish(":\n\n");
    }
    const Clock::time_point oldest = Clock::now() - std::chrono::seconds(m_options.requestSeconds);
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const Open& open : qAsConst(m_open)) {
        if (open.since < oldest && !open.stream)
            ::shutdown(open.fd, SHUT_RDWR); // MHD sees the end and closes it
    }
}

#include "moc_metricsserver.cpp"
