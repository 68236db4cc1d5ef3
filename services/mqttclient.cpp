#include "services/mqttclient.h"

#include <QSocketNotifier>

#include <mosquitto.h>

#include <cerrno>
#include <cstring>
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

} // namespace

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
            abandonAttempt(QStringLiteral("no answer from broker %1").arg(brokerName()));
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
    if (!m_mosq) {
        *error = QStringLiteral("cannot create an MQTT client: %1").arg(errorText(MOSQ_ERR_ERRNO));
        return false;
    }
    // No in-flight cap: the discovery burst and the state keep their order.
    mosquitto_max_inflight_messages_set(m_mosq, 0);
    // A state message is one small write; Nagle would hold it for the last one's ACK.
    mosquitto_int_option(m_mosq, MOSQ_OPT_TCP_NODELAY, 1);
    mosquitto_connect_callback_set(m_mosq, &MqttClient::onConnect);
    mosquitto_disconnect_callback_set(m_mosq, &MqttClient::onDisconnect);
    mosquitto_message_callback_set(m_mosq, &MqttClient::onMessage);
    mosquitto_publish_callback_set(m_mosq, &MqttClient::onPublish);
    int rc = MOSQ_ERR_SUCCESS;
    if (!options.willTopic.isEmpty()) {
        rc = mosquitto_will_set(m_mosq, options.willTopic.toUtf8().constData(), options.willPayload.size(),
                                options.willPayload.constData(), 1, true);
        if (rc != MOSQ_ERR_SUCCESS) {
            *error = QStringLiteral("bad last-will topic: %1").arg(errorText(rc));
            return false;
        }
    }
    if (!options.username.isEmpty()) {
        const QByteArray user = options.username.toUtf8();
        const QByteArray password = options.password.toUtf8();
        rc = mosquitto_username_pw_set(m_mosq, user.constData(), password.constData());
        if (rc != MOSQ_ERR_SUCCESS) {
            *error = QStringLiteral("bad credentials: %1").arg(errorText(rc));
            return false;
        }
    }
    if (!options.caFile.isEmpty()) {
        rc = mosquitto_tls_set(m_mosq, options.caFile.toLocal8Bit().constData(), nullptr, nullptr, nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            *error = QStringLiteral("cannot use CA file %1: %2").arg(options.caFile, errorText(rc));
            return false;
        }
    }
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
        emit problem(QStringLiteral("no connection to broker %1: %2").arg(brokerName(), errorText(rc)));
        scheduleRetry();
        return;
    }
    m_connectTimer.start();
    syncNotifiers();
}

void MqttClient::abandonAttempt(const QString& reason)
{
    // The library stays idle without notifiers; its next connect closes the socket.
    dropNotifiers();
    emit problem(reason);
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
    abandonAttempt(QStringLiteral("no connection to broker %1: %2").arg(brokerName(), QString::fromLocal8Bit(std::strerror(error))));
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
    mosquitto_loop_read(m_mosq, 1);
    syncNotifiers();
}

void MqttClient::writable()
{
    if (attemptFailed())
        return;
    mosquitto_loop_write(m_mosq, 1);
    syncNotifiers();
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
        emit client->problem(QStringLiteral("broker %1 refused the connection: %2")
                                 .arg(client->brokerName(), QString::fromUtf8(mosquitto_connack_string(rc))));
        return;
    }
    client->m_connected = true;
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
        emit client->problem(was ? QStringLiteral("lost the connection to broker %1: %2").arg(client->brokerName(), reason)
                                 : QStringLiteral("no connection to broker %1: %2").arg(client->brokerName(), reason));
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

void MqttClient::onMessage(mosquitto*, void* self, const mosquitto_message* message)
{
    auto* client = static_cast<MqttClient*>(self);
    emit client->messageReceived(QString::fromUtf8(message->topic),
                                 QByteArray(static_cast<const char*>(message->payload), message->payloadlen),
                                 message->retain);
}

#include "moc_mqttclient.cpp"
