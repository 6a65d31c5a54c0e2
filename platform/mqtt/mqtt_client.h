#pragma once

#include "platform/mqtt/mqtt_subscription.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

#include <deque>
#include <functional>
#include <memory>

struct mosquitto;
class QSocketNotifier;
class QTimer;

// An MQTT 3.1.1 client on libmosquitto, driven from the Qt event loop of the
// thread that owns it: socket notifiers for reads and pending writes and a
// timer for the library's keep-alive housekeeping; no thread of its own.
// Library callbacks are queued and delivered after the library call returns,
// so a slot may call back into the client (or spin an event loop) safely.
// A link that drops after it was up is re-established by the library's
// reconnect with a growing delay, and its subscriptions asked for again; the
// state stays Disconnected until the link is back.
class MqttClient : public QObject
{
    Q_OBJECT
public:
    enum ClientState { Disconnected, Connecting, Connected };
    Q_ENUM(ClientState)
    enum ClientError {
        NoError = 0,
        InvalidProtocolVersion = 1,
        IdRejected = 2,
        ServerUnavailable = 3,
        BadUsernameOrPassword = 4,
        NotAuthorized = 5,
        TransportInvalid = 256,
        ProtocolViolation = 257,
        UnknownError = 258,
    };
    Q_ENUM(ClientError)

    explicit MqttClient(QObject *parent = nullptr);
    ~MqttClient() override;

    void setHostname(const QString &hostname) { m_hostname = hostname; }
    QString hostname() const { return m_hostname; }
    void setPort(quint16 port) { m_port = port; }
    quint16 port() const { return m_port; }
    void setUsername(const QString &username) { m_username = username; }
    QString username() const { return m_username; }
    void setPassword(const QString &password) { m_password = password; }
    // Generated at construction; a set id replaces it.
    void setClientId(const QString &clientId) { m_clientId = clientId; }
    QString clientId() const { return m_clientId; }
    void setCleanSession(bool clean) { m_cleanSession = clean; }
    void setKeepAlive(int seconds) { m_keepAlive = seconds; }
    // Messages with a larger payload are dropped (and logged) as they come
    // out of the library, never copied; negative: no cap.
    void setMaxPayload(qint64 bytes) { m_maxPayload = bytes; }
    // The first and the longest wait between two reconnect attempts.
    void setReconnectDelays(int firstMs, int longestMs);

    ClientState state() const { return m_state; }
    ClientError error() const { return m_error; }

    // Starts connecting without blocking; the outcome arrives as state changes.
    void connectToHost();
    void disconnectFromHost();

    // QoS 0..2. Returns the existing subscription of the same filter while it
    // is pending or granted; null when it cannot be asked (not connected, bad
    // filter).
    MqttSubscription *subscribe(const QString &topicFilter, quint8 qos);
    void unsubscribe(const QString &topicFilter);
    // The message id (> 0), or -1 when nothing was sent.
    int publish(const QString &topic, const QByteArray &payload, quint8 qos, bool retain);

    // A topic name a message may carry: not empty, no wildcards, fits MQTT.
    static bool isValidTopicName(const QString &topic);

signals:
    void stateChanged(MqttClient::ClientState state);
    void errorChanged(MqttClient::ClientError error);
    void messageReceived(const QByteArray &message, const QString &topic);

private:
    struct Event;
    static void onConnect(mosquitto *, void *self, int rc);
    static void onDisconnect(mosquitto *, void *self, int rc);
    static void onSubscribe(mosquitto *, void *self, int mid, int count, const int *granted);
    static void onMessage(mosquitto *, void *self, const struct mosquitto_message *message);

    void post(std::function<void()> event);
    // Runs one library call, then delivers what it reported.
    template <typename Call>
    int call(Call &&libraryCall);
    void deliver();
    void watchSocket();
    void dropSocket();
    void readReady();
    void writeReady();
    void housekeeping();
    void setState(ClientState state);
    void setError(ClientError error);
    void linkLost(int rc);
    void clearSubscriptions();
    void scheduleReconnect();
    void reconnect();
    void resubscribe();

    mosquitto *m_mosq = nullptr;
    QString m_hostname;
    quint16 m_port = 1883;
    QString m_username;
    QString m_password;
    QString m_clientId;
    bool m_cleanSession = true;
    int m_keepAlive = 60;
    ClientState m_state = Disconnected;
    ClientError m_error = NoError;

    int m_socket = -1;
    std::unique_ptr<QSocketNotifier> m_readNotifier;
    std::unique_ptr<QSocketNotifier> m_writeNotifier;
    QTimer *m_housekeeping = nullptr;
    int m_libraryDepth = 0;
    bool m_delivering = false;
    std::deque<std::function<void()>> m_events;

    qint64 m_maxPayload = -1;
    QTimer *m_reconnect = nullptr;
    int m_firstDelayMs = 1000;
    int m_longestDelayMs = 30000;
    int m_delayMs = 0;
    bool m_reconnecting = false;
    // Topic filters asked for and not refused: asked again after a reconnect.
    QHash<QString, quint8> m_wanted;

    QHash<QString, QPointer<MqttSubscription>> m_subscriptions;
    QHash<int, QString> m_pendingSubscribes;
};
