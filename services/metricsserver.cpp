#include "services/metricsserver.h"

#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

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
constexpr unsigned ConnectionsPerAddress = 8;
const char ContentType[] = "text/plain; version=0.0.4; charset=utf-8";

// The response reads from a shared copy of the body, so a large body is not
// copied per scrape and a new body set meanwhile does not disturb it.
ssize_t readBody(void* cls, uint64_t pos, char* buffer, size_t max)
{
    const auto* body = static_cast<const QByteArray*>(cls);
    if (pos >= uint64_t(body->size()))
        return MHD_CONTENT_READER_END_OF_STREAM;
    const size_t count = qMin(max, size_t(uint64_t(body->size()) - pos));
    std::memcpy(buffer, body->constData() + pos, count);
    return ssize_t(count);
}

void freeBody(void* cls)
{
    delete static_cast<QByteArray*>(cls);
}

MHD_Result queueText(MHD_Connection* connection, unsigned status, const char* text, const char* allow = nullptr)
{
    MHD_Response* response =
        MHD_create_response_from_buffer(std::strlen(text), const_cast<char*>(text), MHD_RESPMEM_PERSISTENT);
    if (!response)
        return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, "text/plain; charset=utf-8");
    if (allow)
        MHD_add_response_header(response, MHD_HTTP_HEADER_ALLOW, allow);
    const MHD_Result result = MHD_queue_response(connection, status, response);
    MHD_destroy_response(response);
    return result;
}

} // namespace

// MHD's callbacks; they run inside MHD_run(), on the server's thread.
struct MhdCallbacks
{
    static MHD_Result request(void* self, MHD_Connection* connection, const char* url, const char* method,
                              const char*, const char*, size_t* uploadDataSize, void**)
    {
        // A body would only come from a misdirected client; refuse it rather than read it.
        if (*uploadDataSize > 0)
            return queueText(connection, MHD_HTTP_CONTENT_TOO_LARGE, "no request body is accepted\n");
        return answer(static_cast<MetricsServer*>(self), connection, url, method);
    }

    static MHD_Result answer(MetricsServer* server, MHD_Connection* connection, const char* url, const char* method)
    {
        if (std::strcmp(url, "/metrics") != 0)
            return queueText(connection, MHD_HTTP_NOT_FOUND, "not found; the metrics are at /metrics\n");
        if (std::strcmp(method, MHD_HTTP_METHOD_GET) != 0 && std::strcmp(method, MHD_HTTP_METHOD_HEAD) != 0)
            return queueText(connection, MHD_HTTP_METHOD_NOT_ALLOWED, "only GET\n", "GET, HEAD");
        const char* length = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
        const char* encoding =
            MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_TRANSFER_ENCODING);
        if ((length && std::strcmp(length, "0") != 0) || encoding)
            return queueText(connection, MHD_HTTP_CONTENT_TOO_LARGE, "no request body is accepted\n");

        auto* body = new QByteArray(server->m_source ? server->m_source() : server->m_body);
        MHD_Response* response =
            MHD_create_response_from_callback(uint64_t(body->size()), 32 * 1024, &readBody, body, &freeBody);
        if (!response) {
            delete body;
            return MHD_NO;
        }
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, ContentType);
        const MHD_Result result = MHD_queue_response(connection, MHD_HTTP_OK, response);
        MHD_destroy_response(response);
        ++server->m_scrapes;
        return result;
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

MetricsServer::MetricsServer(QObject* parent) : QObject(parent), m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &MetricsServer::run);
}

MetricsServer::~MetricsServer()
{
    close();
}

bool MetricsServer::listen(const QHostAddress& address, quint16 port)
{
    close();
    m_error.clear();
    const QString where = address.protocol() == QAbstractSocket::IPv6Protocol
                              ? QStringLiteral("[%1]:%2").arg(address.toString()).arg(port)
                              : QStringLiteral("%1:%2").arg(address.toString()).arg(port);
    sockaddr_in v4{};
    sockaddr_in6 v6{};
    sockaddr* bindAddress = nullptr;
    unsigned flags = MHD_USE_ERROR_LOG | MHD_USE_EPOLL;
    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        v4.sin_family = AF_INET;
        v4.sin_port = htons(port);
        v4.sin_addr.s_addr = htonl(address.toIPv4Address());
        bindAddress = reinterpret_cast<sockaddr*>(&v4);
    } else if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        v6.sin6_family = AF_INET6;
        v6.sin6_port = htons(port);
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        std::memcpy(&v6.sin6_addr, bytes.c, sizeof bytes.c);
        bindAddress = reinterpret_cast<sockaddr*>(&v6);
        flags |= MHD_USE_IPv6;
    } else {
        m_error = QStringLiteral("cannot listen on '%1': no IP address").arg(address.toString());
        return false;
    }

    // Epoll rather than select: the gateway may hold well over FD_SETSIZE link sockets,
    // and select cannot watch a scrape's socket numbered above that.
    m_startLog.clear();
    m_starting = true;
    m_daemon = MHD_start_daemon(flags, port, nullptr, nullptr,
                                &MhdCallbacks::request, this,
                                // First, or MHD prints its own start-up messages to stderr.
                                MHD_OPTION_EXTERNAL_LOGGER, &MhdCallbacks::log, this,
                                MHD_OPTION_SOCK_ADDR, bindAddress,
                                MHD_OPTION_CONNECTION_LIMIT, ConnectionLimit,
                                MHD_OPTION_PER_IP_CONNECTION_LIMIT, ConnectionsPerAddress,
                                MHD_OPTION_CONNECTION_TIMEOUT, ConnectionTimeoutSeconds,
                                MHD_OPTION_CONNECTION_MEMORY_LIMIT, ConnectionMemoryBytes,
                                MHD_OPTION_END);
    m_starting = false;
    if (!m_daemon) {
        m_error = QStringLiteral("cannot listen on %1: %2")
                      .arg(where, m_startLog.isEmpty() ? QStringLiteral("the HTTP server did not start") : m_startLog);
        return false;
    }
    const MHD_DaemonInfo* portInfo = MHD_get_daemon_info(m_daemon, MHD_DAEMON_INFO_BIND_PORT);
    const MHD_DaemonInfo* epollInfo = MHD_get_daemon_info(m_daemon, MHD_DAEMON_INFO_EPOLL_FD);
    if (!portInfo || !epollInfo) {
        close();
        m_error = QStringLiteral("cannot listen on %1: the HTTP library gives no port or event descriptor").arg(where);
        return false;
    }
    m_port = portInfo->port;
    m_notifier = new QSocketNotifier(epollInfo->epoll_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &MetricsServer::run);
    schedule();
    qCInfo(lcMetrics).noquote() << "serving /metrics on" << address.toString() << "port" << m_port;
    return true;
}

void MetricsServer::close()
{
    m_timer->stop();
    delete m_notifier;
    m_notifier = nullptr;
    if (m_daemon)
        MHD_stop_daemon(m_daemon);
    m_daemon = nullptr;
    m_port = 0;
}

void MetricsServer::run()
{
    if (!m_daemon)
        return;
    m_scrapes = 0;
    MHD_run(m_daemon);
    const int scrapes = m_scrapes;
    schedule();
    // Only now: a slot may close or delete the server, which must not happen inside MHD_run.
    const QPointer<MetricsServer> alive(this);
    for (int i = 0; i < scrapes && alive; ++i)
        emit scraped();
}

// MHD keeps work of its own (timeouts, data already read): its timeout says
// when to come back even if the epoll descriptor stays quiet.
void MetricsServer::schedule()
{
    MHD_UNSIGNED_LONG_LONG ms = 0;
    if (MHD_get_timeout(m_daemon, &ms) == MHD_YES)
        m_timer->start(int(qMin<MHD_UNSIGNED_LONG_LONG>(ms, 60 * 1000)));
    else
        m_timer->stop();
}


#include "moc_metricsserver.cpp"
