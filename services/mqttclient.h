#pragma once

#include <QByteArray>
#include <QLoggingCategory>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>

Q_DECLARE_LOGGING_CATEGORY(lcMqtt)

class QSocketNotifier;
struct mosquitto;
struct mosquitto_message;

// One MQTT connection through libmosquitto, driven by the Qt event loop (no
// library thread): socket notifiers feed the library, a timer runs its
// keep-alive, and a lost or refused connection is retried with a back-off.
class MqttClient : public QObject
{
    Q_OBJECT
public:
    static constexpr int FirstRetryMs = 500;
    static constexpr int MaxRetryMs = 30000;
    static constexpr int ConnectTimeoutMs = 10000; // TCP, TLS and CONNACK together

    struct Options
    {
        QString host;
        int port = 1883;
        QString clientId;
        QString username;
        QString password;
        bool tls = false;
        QString caFile;             // with tls; empty: the system's CA store
        QString certFile;           // a client certificate and its key, both or neither
        QString keyFile;
        QString willTopic;          // no will when empty
        QByteArray willPayload;
        int keepAliveSeconds = 15;
    };

    // Why the last try failed; the gateway's metrics name it.
    enum class Failure {
        None,
        Unreachable,
        UnknownCa,
        HostMismatch,
        ExpiredCertificate,
        ClientCertificateRefused,
        WrongPassword,
        Refused, // any other CONNACK refusal
        Tls,     // any other TLS failure
    };
    // Its metric label: "unknown_ca", ...
    static QString failureName(Failure failure);

    explicit MqttClient(QObject* parent = nullptr);
    ~MqttClient() override;

    // Applies the options; false with a reason when libmosquitto refuses them.
    bool setup(const Options& options, QString* error);
    // Connects, and keeps reconnecting until disconnectFromBroker().
    void connectToBroker();
    // Sends a clean DISCONNECT (no will); emits disconnected() when done.
    void disconnectFromBroker();
    bool isConnected() const { return m_connected; }
    Failure lastFailure() const { return m_failure; }

    bool publish(const QString& topic, const QByteArray& payload, int qos, bool retain);
    // QoS 1 messages the broker has not acknowledged yet (queued ones included).
    bool hasUnacknowledged() const { return !m_unacknowledged.isEmpty(); }
    bool subscribe(const QString& topic, int qos);

signals:
    void connected();
    void disconnected();
    // Why a try failed or the connection ended; once per try.
    void problem(const QString& reason);
    void messageReceived(const QString& topic, const QByteArray& payload, bool retained);
    // The broker has acknowledged every QoS 1 message sent so far.
    void acknowledged();

private:
    static void onConnect(mosquitto*, void* self, int rc);
    static void onDisconnect(mosquitto*, void* self, int rc);
    static void onMessage(mosquitto*, void* self, const mosquitto_message* message);
    static void onPublish(mosquitto*, void* self, int mid);
    static void onLog(mosquitto*, void* self, int level, const char* text);

    void attempt();
    void scheduleRetry();
    bool setupTls(QString* error);
    void fail(Failure failure, const QString& reason);
    // Says why the try failed: the library's own errors when it logged any.
    void tryFailed(const QString& why);
    // reason as it stands; why (the cause alone) when the library's errors tell more.
    void abandonAttempt(Failure failure, const QString& reason, const QString& why);
    bool attemptFailed();
    // After a library call: true when it gave up on the try by itself.
    bool libraryGaveUp(int rc);
    void readable();
    void writable();
    void misc();
    // Follows the library's socket: new notifiers after a (re)connect, none
    // while closed, the write notifier only while output is queued.
    void syncNotifiers();
    void dropNotifiers();
    QString brokerName() const;

    mosquitto* m_mosq = nullptr;
    Options m_options;
    bool m_wanted = false;
    bool m_connected = false;
    bool m_refused = false;
    Failure m_failure = Failure::None;
    bool m_handshakeDone = false; // TLS, in this try
    QStringList m_libraryErrors; // of the current try, for the reason
    int m_retryMs = FirstRetryMs;
    int m_fd = -1;
    QSocketNotifier* m_readNotifier = nullptr;
    QSocketNotifier* m_writeNotifier = nullptr;
    QTimer m_retryTimer;
    QTimer m_connectTimer;
    QTimer m_miscTimer;
    QSet<int> m_unacknowledged;
};
