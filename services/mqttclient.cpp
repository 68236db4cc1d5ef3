#include "services/mqttclient.h"
#include "protocol/refuse.h"

#include <QHostAddress>
#include <QSocketNotifier>

#include <mosquitto.h>
#include <mqtt_protocol.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

Q_LOGGING_CATEGORY(lcMqtt, "energizer.mqtt")

namespace {

void initLibrary()
{
    static const bool done = [] {
        mosquitto_lib_init();
        return true;
    }();
    Q_UNUSED(done)
}

QString errorText(int rc)
{
    // The errno of a failed socket call is still set when the callback runs.
    if (rc == MOSQ_ERR_ERRNO)
        return QString::fromLocal8Bit(std::strerror(errno));
    return QString::fromUtf8(mosquitto_strerror(rc));
}

using Failure = MqttClient::Failure;

// OpenSSL's words for a failed handshake, lower case. The broker's alerts come
// first: "tlsv1 alert unknown ca" means it refused our certificate.
const struct
{
    const char* text;
    Failure failure;
} tlsTexts[] = {
    {"alert certificate required", Failure::ClientCertificateRefused},
    {"alert handshake failure", Failure::ClientCertificateRefused},
    {"alert unknown ca", Failure::ClientCertificateRefused},
    {"alert bad certificate", Failure::ClientCertificateRefused},
    {"alert certificate expired", Failure::ClientCertificateRefused},
    {"alert certificate unknown", Failure::ClientCertificateRefused},
    {"hostname mismatch", Failure::HostMismatch},
    {"ip address mismatch", Failure::HostMismatch},
    {"certificate has expired", Failure::ExpiredCertificate},
    {"certificate is not yet valid", Failure::ExpiredCertificate},
    {"unable to get local issuer certificate", Failure::UnknownCa},
    {"unable to get issuer certificate", Failure::UnknownCa},
    {"unable to verify the first certificate", Failure::UnknownCa},
    {"signed certificate", Failure::UnknownCa},
};

Failure tlsFailure(const QStringList& libraryErrors)
{
    const QString text = libraryErrors.join(QLatin1Char(' ')).toLower();
    for (const auto& t : tlsTexts) {
        if (text.contains(QLatin1String(t.text)))
            return t.failure;
    }
    return text.contains(QLatin1String("ssl")) || text.contains(QLatin1String("tls")) ? Failure::Tls : Failure::None;
}

// What OpenSSL last said, one line.
QString openSslErrors()
{
    QStringList texts;
    while (const unsigned long e = ERR_get_error())
        texts << QString::fromUtf8(ERR_reason_error_string(e));
    return texts.isEmpty() ? QStringLiteral("unknown error") : texts.join(QStringLiteral("; "));
}

// "OpenSSL Error[0]: error:0A000086:SSL routines::certificate verify failed"
// -> "certificate verify failed".
QString openSslReason(const QString& line)
{
    const int at = line.indexOf(QLatin1String("error:"));
    const QStringList parts = line.mid(at + 6).split(QLatin1Char(':'));
    return at >= 0 && parts.size() >= 4 ? parts.mid(3).join(QLatin1Char(':')) : line;
}

// Where a client's TLS context keeps its flag that the handshake is done.
int handshakeFlagIndex()
{
    static const int index = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

void sslInfo(const SSL* ssl, int where, int)
{
    if (where & SSL_CB_HANDSHAKE_DONE) {
        if (auto* done = static_cast<bool*>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), handshakeFlagIndex())))
            *done = true;
    }
}

} // namespace

QString MqttClient::failureName(Failure failure)
{
    switch (failure) {
    case Failure::None: return QString();
    case Failure::Unreachable: return QStringLiteral("unreachable");
    case Failure::UnknownCa: return QStringLiteral("unknown_ca");
    case Failure::HostMismatch: return QStringLiteral("host_mismatch");
    case Failure::ExpiredCertificate: return QStringLiteral("expired_certificate");
    case Failure::ClientCertificateRefused: return QStringLiteral("client_certificate_refused");
    case Failure::WrongPassword: return QStringLiteral("wrong_password");
    case Failure::Refused: return QStringLiteral("refused");
    case Failure::Tls: return QStringLiteral("tls");
    }
    return QString();
}

MqttClient::MqttClient(QObject* parent)
    : QObject(parent)
{
    initLibrary();
    m_retryTimer.setSingleShot(true);
    connect(&m_retryTimer, &QTimer::timeout, this, &MqttClient::attempt);
    m_connectTimer.setSingleShot(true);
    m_connectTimer.setInterval(ConnectTimeoutMs);
    connect(&m_connectTimer, &QTimer::timeout, this, [this] {
        if (!m_connected)
            abandonAttempt(Failure::Unreachable, QStringLiteral("no answer from broker %1").arg(brokerName()), QStringLiteral("no answer"));
    });
    m_miscTimer.setInterval(1000);
    connect(&m_miscTimer, &QTimer::timeout, this, &MqttClient::misc);
}

MqttClient::~MqttClient()
{
    dropNotifiers();
    if (m_mosq)
        mosquitto_destroy(m_mosq);
}

bool MqttClient::setup(const Options& options, QString* error)
{
    m_options = options;
    if (m_mosq)
        mosquitto_destroy(m_mosq);
    // A clean session: nothing is queued for us while we are away.
    m_mosq = mosquitto_new(options.clientId.isEmpty() ? nullptr : options.clientId.toUtf8().constData(), true, this);
    if (!m_mosq)
        return refuse(error, QStringLiteral("cannot create an MQTT client: %1").arg(errorText(MOSQ_ERR_ERRNO)));
    // No in-flight cap: the discovery burst and the state keep their order.
    mosquitto_max_inflight_messages_set(m_mosq, 0);
    // A state message is one small write; Nagle would hold it for the last one's ACK.
    mosquitto_int_option(m_mosq, MOSQ_OPT_TCP_NODELAY, 1);
    mosquitto_connect_callback_set(m_mosq, &MqttClient::onConnect);
    mosquitto_disconnect_callback_set(m_mosq, &MqttClient::onDisconnect);
    mosquitto_message_callback_set(m_mosq, &MqttClient::onMessage);
    mosquitto_publish_callback_set(m_mosq, &MqttClient::onPublish);
    mosquitto_log_callback_set(m_mosq, &MqttClient::onLog);
    int rc = MOSQ_ERR_SUCCESS;
    if (!options.willTopic.isEmpty()) {
        rc = mosquitto_will_set(m_mosq, options.willTopic.toUtf8().constData(), options.willPayload.size(),
                                options.willPayload.constData(), 1, true);
        if (rc != MOSQ_ERR_SUCCESS)
            return refuse(error, QStringLiteral("bad last-will topic: %1").arg(errorText(rc)));
    }
    if (!options.username.isEmpty()) {
        const QByteArray user = options.username.toUtf8();
        const QByteArray password = options.password.toUtf8();
        rc = mosquitto_username_pw_set(m_mosq, user.constData(), password.constData());
        if (rc != MOSQ_ERR_SUCCESS)
            return refuse(error, QStringLiteral("bad credentials: %1").arg(errorText(rc)));
    }
    return !options.tls || setupTls(error);
}

bool MqttClient::setupTls(QString* error)
{
    // A context of our own rather than the library's: ours tells when the
    // handshake is done (a broker that refuses our certificate under TLS 1.3
    // resets the connection after it), and OpenSSL itself checks the name.
    std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> context(SSL_CTX_new(TLS_client_method()), &SSL_CTX_free);
    const auto refuse = [error](const QString& what) {
        return ::refuse(error, what + QStringLiteral(": ") + openSslErrors());
    };
    if (!context)
        return refuse(QStringLiteral("cannot create a TLS context"));
    SSL_CTX* c = context.get();
    SSL_CTX_set_min_proto_version(c, TLS1_2_VERSION);
    const bool loaded = m_options.caFile.isEmpty() ? SSL_CTX_set_default_verify_paths(c) == 1
                                                   : SSL_CTX_load_verify_locations(c, m_options.caFile.toLocal8Bit().constData(), nullptr) == 1;
    if (!loaded)
        return refuse(QStringLiteral("cannot read the CA certificates %1").arg(m_options.caFile.isEmpty() ? QStringLiteral("of the system") : m_options.caFile));
    if (!m_options.certFile.isEmpty()) {
        if (SSL_CTX_use_certificate_chain_file(c, m_options.certFile.toLocal8Bit().constData()) != 1)
            return refuse(QStringLiteral("cannot use the client certificate %1").arg(m_options.certFile));
        if (SSL_CTX_use_PrivateKey_file(c, m_options.keyFile.toLocal8Bit().constData(), SSL_FILETYPE_PEM) != 1)
            return refuse(QStringLiteral("cannot use the private key %1").arg(m_options.keyFile));
        if (SSL_CTX_check_private_key(c) != 1)
            return refuse(QStringLiteral("the private key %1 is not the client certificate's").arg(m_options.keyFile));
    }
    // The broker's certificate and name are always checked.
    SSL_CTX_set_verify(c, SSL_VERIFY_PEER, nullptr);
    X509_VERIFY_PARAM* param = SSL_CTX_get0_param(c);
    const QByteArray host = m_options.host.toUtf8();
    const bool named = QHostAddress(m_options.host).isNull() ? X509_VERIFY_PARAM_set1_host(param, host.constData(), 0) == 1
                                                             : X509_VERIFY_PARAM_set1_ip_asc(param, host.constData()) == 1;
    if (!named)
        return refuse(QStringLiteral("cannot check the broker's name %1").arg(m_options.host));
    SSL_CTX_set_ex_data(c, handshakeFlagIndex(), &m_handshakeDone);
    SSL_CTX_set_info_callback(c, &sslInfo);
    // The library takes a reference of its own, and adds nothing of its own to it.
    mosquitto_int_option(m_mosq, MOSQ_OPT_SSL_CTX_WITH_DEFAULTS, 0);
    const int rc = mosquitto_void_option(m_mosq, MOSQ_OPT_SSL_CTX, c);
    if (rc != MOSQ_ERR_SUCCESS)
        return ::refuse(error, QStringLiteral("cannot use TLS: %1").arg(errorText(rc)));
    return true;
}

QString MqttClient::brokerName() const
{
    return QStringLiteral("%1:%2").arg(m_options.host).arg(m_options.port);
}

void MqttClient::connectToBroker()
{
    m_wanted = true;
    m_retryMs = FirstRetryMs;
    m_miscTimer.start();
    attempt();
}

void MqttClient::attempt()
{
    if (!m_wanted || !m_mosq)
        return;
    m_refused = false;
    m_handshakeDone = false;
    m_libraryErrors.clear();
    dropNotifiers();
    // The header pairs connect_async with the library's own thread, which then
    // drives the socket. Here the notifiers drive it instead, with the calls the
    // header documents for an external loop (mosquitto_socket, loop_read,
    // loop_write, loop_misc, want_write), all from this one thread. The plain
    // mosquitto_connect would resolve and connect blocking, stalling every
    // energizer's polling while an unreachable broker times out. tst_gateway
    // covers this use: refused, then connected, for the bridge and the gateway.
    const int rc = mosquitto_connect_async(m_mosq, m_options.host.toUtf8().constData(), m_options.port,
                                           m_options.keepAliveSeconds);
    if (rc != MOSQ_ERR_SUCCESS) {
        tryFailed(errorText(rc));
        scheduleRetry();
        return;
    }
    // The handshake may end and fail within one library call: told at once.
    qCDebug(lcMqtt, "after connect ssl %p", mosquitto_ssl_get(m_mosq));
    if (auto* ssl = static_cast<SSL*>(mosquitto_ssl_get(m_mosq))) {
        SSL_set_ex_data(ssl, handshakeFlagIndex(), &m_handshakeDone);
        SSL_set_info_callback(ssl, &sslInfo);
    }
    m_connectTimer.start();
    syncNotifiers();
}

void MqttClient::fail(Failure failure, const QString& reason)
{
    m_connectTimer.stop();
    m_failure = failure;
    emit problem(reason);
}

void MqttClient::tryFailed(const QString& why)
{
    Failure tls = tlsFailure(m_libraryErrors);
    QStringList details;
    for (const QString& line : qAsConst(m_libraryErrors))
        details << openSslReason(line);
    m_libraryErrors.clear();
    // Under TLS 1.3 the broker checks our certificate after the handshake is
    // done for us, and its alert is often lost in the reset that follows: a
    // broker that drops us then, before any CONNACK, refused the certificate.
    if (tls == Failure::None && m_handshakeDone) {
        tls = Failure::ClientCertificateRefused;
        details << why;
    }
    const QString detail = details.join(QStringLiteral("; "));
    if (tls == Failure::None) {
        fail(Failure::Unreachable, QStringLiteral("no connection to broker %1: %2").arg(brokerName(), detail.isEmpty() ? why : detail));
        return;
    }
    QString what;
    switch (tls) {
    case Failure::UnknownCa:
        what = QStringLiteral("unknown CA: the broker's certificate is not signed by a CA this computer trusts");
        break;
    case Failure::HostMismatch:
        what = QStringLiteral("host name mismatch: the broker's certificate is not made out to %1").arg(m_options.host);
        break;
    case Failure::ExpiredCertificate:
        what = QStringLiteral("expired certificate: the broker's certificate has expired or is not valid yet (is the clock right?)");
        break;
    case Failure::ClientCertificateRefused:
        what = QStringLiteral("client certificate refused: the broker wants a client certificate it trusts");
        break;
    default:
        what = QStringLiteral("TLS failed");
        break;
    }
    fail(tls, QStringLiteral("no connection to broker %1: %2 (%3)").arg(brokerName(), what, detail));
}

void MqttClient::abandonAttempt(Failure failure, const QString& reason, const QString& why)
{
    // The library stays idle without notifiers; its next connect closes the socket.
    dropNotifiers();
    if (m_libraryErrors.isEmpty() && !m_handshakeDone)
        fail(failure, reason);
    else
        tryFailed(why);
    scheduleRetry();
}

bool MqttClient::attemptFailed()
{
    if (m_connected || m_fd < 0)
        return false;
    // With TLS the library does not notice a refused connect and the socket
    // stays readable for ever, so look at the socket ourselves.
    int error = 0;
    socklen_t size = sizeof error;
    ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &size);
    tcp_info info = {};
    size = sizeof info;
    const bool closed = ::getsockopt(m_fd, IPPROTO_TCP, TCP_INFO, &info, &size) == 0 && info.tcpi_state == TCP_CLOSE;
    if (error == 0 && !closed)
        return false;
    if (error == 0)
        error = ECONNREFUSED;
    const QString why = QString::fromLocal8Bit(std::strerror(error));
    abandonAttempt(Failure::Unreachable, QStringLiteral("no connection to broker %1: %2").arg(brokerName(), why), why);
    return true;
}

void MqttClient::scheduleRetry()
{
    if (!m_wanted || m_retryTimer.isActive())
        return;
    m_retryTimer.start(m_retryMs);
    m_retryMs = qMin(m_retryMs * 2, MaxRetryMs);
}

void MqttClient::disconnectFromBroker()
{
    m_wanted = false;
    m_retryTimer.stop();
    m_connectTimer.stop();
    if (!m_connected) {
        dropNotifiers();
        emit disconnected();
        return;
    }
    mosquitto_disconnect(m_mosq);
    syncNotifiers();
}

bool MqttClient::publish(const QString& topic, const QByteArray& payload, int qos, bool retain)
{
    if (!m_connected)
        return false;
    int mid = 0;
    const int rc = mosquitto_publish(m_mosq, &mid, topic.toUtf8().constData(), payload.size(),
                                     payload.constData(), qos, retain);
    if (rc == MOSQ_ERR_SUCCESS && qos > 0)
        m_unacknowledged.insert(mid);
    syncNotifiers();
    return rc == MOSQ_ERR_SUCCESS;
}

bool MqttClient::subscribe(const QString& topic, int qos)
{
    if (!m_connected)
        return false;
    const int rc = mosquitto_subscribe(m_mosq, nullptr, topic.toUtf8().constData(), qos);
    syncNotifiers();
    return rc == MOSQ_ERR_SUCCESS;
}

void MqttClient::readable()
{
    if (attemptFailed())
        return;
    if (!libraryGaveUp(mosquitto_loop_read(m_mosq, 1)))
        syncNotifiers();
}

void MqttClient::writable()
{
    if (attemptFailed())
        return;
    if (!libraryGaveUp(mosquitto_loop_write(m_mosq, 1)))
        syncNotifiers();
}

bool MqttClient::libraryGaveUp(int rc)
{
    // A failed TLS handshake closes the socket without the disconnect
    // callback; the try would otherwise end only by the connect timeout.
    if (rc == MOSQ_ERR_SUCCESS || m_connected || !m_connectTimer.isActive() || mosquitto_socket(m_mosq) >= 0)
        return false;
    abandonAttempt(Failure::Unreachable, QStringLiteral("no connection to broker %1: %2").arg(brokerName(), errorText(rc)), errorText(rc));
    return true;
}

void MqttClient::misc()
{
    if (m_fd >= 0) {
        mosquitto_loop_misc(m_mosq);
        syncNotifiers();
    }
}

void MqttClient::syncNotifiers()
{
    const int fd = m_mosq ? mosquitto_socket(m_mosq) : -1;
    if (fd != m_fd) {
        dropNotifiers();
        if (fd < 0)
            return;
        m_fd = fd;
        m_readNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(m_readNotifier, &QSocketNotifier::activated, this, &MqttClient::readable);
        m_writeNotifier = new QSocketNotifier(fd, QSocketNotifier::Write, this);
        connect(m_writeNotifier, &QSocketNotifier::activated, this, &MqttClient::writable);
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(mosquitto_want_write(m_mosq));
}

void MqttClient::dropNotifiers()
{
    // Called from inside the notifiers' own slots, so they go later.
    for (QSocketNotifier* n : {m_readNotifier, m_writeNotifier}) {
        if (n) {
            n->setEnabled(false);
            n->deleteLater();
        }
    }
    m_readNotifier = nullptr;
    m_writeNotifier = nullptr;
    m_fd = -1;
}

void MqttClient::onConnect(mosquitto*, void* self, int rc)
{
    auto* client = static_cast<MqttClient*>(self);
    if (rc != 0) {
        // The library closes the connection next; the disconnect retries.
        client->m_refused = true;
        const bool login = rc == CONNACK_REFUSED_BAD_USERNAME_PASSWORD || rc == CONNACK_REFUSED_NOT_AUTHORIZED;
        client->fail(login ? Failure::WrongPassword : Failure::Refused,
                     QStringLiteral("broker %1 refused the connection: %2%3")
                         .arg(client->brokerName(), login ? QStringLiteral("wrong user name or password: ") : QString(),
                              QString::fromUtf8(mosquitto_connack_string(rc))));
        return;
    }
    client->m_connected = true;
    client->m_failure = Failure::None;
    client->m_connectTimer.stop();
    client->m_retryMs = FirstRetryMs;
    emit client->connected();
}

void MqttClient::onDisconnect(mosquitto*, void* self, int rc)
{
    auto* client = static_cast<MqttClient*>(self);
    const bool was = client->m_connected;
    client->m_connected = false;
    // A clean session: what was in flight is gone, and published again on the next connect.
    client->m_unacknowledged.clear();
    client->m_connectTimer.stop();
    if (!client->m_wanted) {
        emit client->disconnected();
        return;
    }
    if (!client->m_refused) {
        const QString reason = rc == MOSQ_ERR_SUCCESS ? QStringLiteral("closed") : errorText(rc);
        if (was)
            client->fail(Failure::Unreachable, QStringLiteral("lost the connection to broker %1: %2").arg(client->brokerName(), reason));
        else
            client->tryFailed(reason);
    }
    if (was)
        emit client->disconnected();
    client->scheduleRetry();
}

void MqttClient::onPublish(mosquitto*, void* self, int mid)
{
    auto* client = static_cast<MqttClient*>(self);
    if (client->m_unacknowledged.remove(mid) && client->m_unacknowledged.isEmpty())
        emit client->acknowledged();
}

void MqttClient::onLog(mosquitto* mosq, void* self, int level, const char* text)
{
    if (!(level & (MOSQ_LOG_ERR | MOSQ_LOG_WARNING)))
        return;
    QString line = QString::fromUtf8(text);
    // OpenSSL's error queue says only "certificate verify failed"; the why is
    // the verify result, still there while the library logs.
    const auto* ssl = static_cast<const SSL*>(mosquitto_ssl_get(mosq));
    if (ssl && line.contains(QLatin1String("certificate verify failed"))) {
        const long result = SSL_get_verify_result(ssl);
        if (result != X509_V_OK)
            line += QStringLiteral(": ") + QString::fromUtf8(X509_verify_cert_error_string(result));
    }
    qCDebug(lcMqtt, "library: %s", qUtf8Printable(line));
    static_cast<MqttClient*>(self)->m_libraryErrors << line;
}

void MqttClient::onMessage(mosquitto*, void* self, const mosquitto_message* message)
{
    auto* client = static_cast<MqttClient*>(self);
    emit client->messageReceived(QString::fromUtf8(message->topic),
                                 QByteArray(static_cast<const char*>(message->payload), message->payloadlen),
                                 message->retain);
}

#include "moc_mqttclient.cpp"
