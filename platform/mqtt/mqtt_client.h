#pragma once

#include "platform/mqtt/mqtt_subscription.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

struct mosquitto;

// An MQTT 3.1.1 client on libmosquitto. The library's network loop runs on
// a thread of its own, started and joined by the client, so nothing a broker
// sends is read on the owner's thread; that thread never blocks for long
// (connects start without waiting), so a stop is prompt; what the library reports is queued to
// the owner's thread and delivered there, so a slot may call back into the
// client (or spin an event loop) safely. Messages waiting for the owner are
// bounded: the loop thread waits, and the broker with it, while they pile up.
// A link that drops after it was up is re-established with a growing delay, and its subscriptions asked for again; the
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
    void setMaxPayload(qint64 bytes) { m_maxPayload.store(bytes); }
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
    static void onConnect(mosquitto *, void *self, int rc);
    static void onDisconnect(mosquitto *, void *self, int rc);
    static void onSubscribe(mosquitto *, void *self, int mid, int count, const int *granted);
    static void onMessage(mosquitto *, void *self, const struct mosquitto_message *message);

    // From the loop thread: runs event on the owner's thread, unless the
    // connection it belongs to has been replaced by then.
    void post(std::function<void()> event);
    // Ends the loop thread and joins it.
    void stopLoop();
    void runLoop();
    void setState(ClientState state);
    void setError(ClientError error);
    void linkLost(int rc);
    void clearSubscriptions();
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

    std::thread m_loop;
    // Counts connections made: events of an earlier one are dropped.
    std::atomic<quint64> m_session{0};
    // Set by the loop thread once the link of this connection was up: only
    // such a link is taken up again; a first connect that fails is the
    // caller's to repeat.
    std::atomic<bool> m_wasUp{false};
    // Set by each accepted connect, taken by the loop: the delays start over.
    std::atomic<bool> m_cameUp{false};
    // Set before the loop thread is stopped: it makes no new link.
    std::atomic<bool> m_stopping{false};
    std::atomic<qint64> m_maxPayload{-1};
    std::mutex m_queueMutex;
    std::condition_variable m_queueDrained;
    qint64 m_queuedBytes = 0;
    int m_queuedMessages = 0;

    int m_firstDelayMs = 1000;
    int m_longestDelayMs = 30000;
    bool m_reconnecting = false;
    // Topic filters asked for and not refused: asked again after a reconnect.
    QHash<QString, quint8> m_wanted;

    QHash<QString, QPointer<MqttSubscription>> m_subscriptions;
    QHash<int, QString> m_pendingSubscribes;
};
