#include "platform/mqtt/mqtt_client.h"

#include <mosquitto.h>

#include <QDebug>
#include <QElapsedTimer>
#include <QMetaObject>
#include <QRandomGenerator>

#include <algorithm>
#include <chrono>
#include <utility>

namespace {

// Messages read but not yet taken by the owner's thread: past either bound
// the loop thread waits, and TCP holds the broker back. A few at a time keep
// each turn of the owner's event loop short in a flood.
constexpr qint64 kMaxQueuedBytes = 8 * 1024 * 1024;
constexpr int kMaxQueuedMessages = 4;
// How long the loop thread waits on the socket, so how soon it sees a stop,
// and how long a stop waits for the last packets to go out.
constexpr int kLoopWaitMs = 100;
constexpr int kFlushMs = 500;
// A SUBACK return code of 0x80 is the broker's refusal.
constexpr int kSubscriptionRefused = 0x80;

void initLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

// 23 characters at most, as MQTT 3.1.1 servers must accept.
QString generatedClientId()
{
    static const char alphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QString id = QStringLiteral("spoolsmith");
    for (int i = 0; i < 12; ++i)
        id += QLatin1Char(alphabet[QRandomGenerator::global()->bounded(36)]);
    return id;
}

MqttClient::ClientError refusal(int connackCode)
{
    switch (connackCode) {
    case 1: return MqttClient::InvalidProtocolVersion;
    case 2: return MqttClient::IdRejected;
    case 3: return MqttClient::ServerUnavailable;
    case 4: return MqttClient::BadUsernameOrPassword;
    case 5: return MqttClient::NotAuthorized;
    default: return MqttClient::UnknownError;
    }
}

} // namespace

MqttClient::MqttClient(QObject *parent)
    : QObject(parent)
    , m_clientId(generatedClientId())
{
    initLibrary();
}

void MqttClient::setReconnectDelays(int firstMs, int longestMs)
{
    m_firstDelayMs = firstMs;
    m_longestDelayMs = std::max(firstMs, longestMs);
}

MqttClient::~MqttClient()
{
    stopLoop();
    if (m_mosq)
        mosquitto_destroy(m_mosq);
}

bool MqttClient::isValidTopicName(const QString &topic)
{
    if (topic.isEmpty() || topic.contains(QLatin1Char('+')) || topic.contains(QLatin1Char('#'))
        || topic.contains(QChar(0)))
        return false;
    return topic.toUtf8().size() <= 65535;
}

void MqttClient::stopLoop()
{
    if (!m_loop.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(m_queueMutex);
        m_stopping.store(true);
        m_queueDrained.notify_all();
    }
    // Sends DISCONNECT after what is still queued; the loop takes at most
    // kLoopWaitMs to notice and kFlushMs to send it.
    mosquitto_disconnect(m_mosq);
    m_loop.join();
}

// The loop thread. It never blocks for long: connects and reconnects start
// without waiting, and every wait ends when the client stops.
void MqttClient::runLoop()
{
    int delayMs = m_firstDelayMs;
    while (!m_stopping.load()) {
        if (mosquitto_loop(m_mosq, kLoopWaitMs, 1) == MOSQ_ERR_SUCCESS) {
            // Only a link that came back starts the delays over.
            if (m_cameUp.exchange(false))
                delayMs = m_firstDelayMs;
            continue;
        }
        // A first connect that fails is the caller's to repeat; a link that
        // was up is taken up again after a growing delay.
        if (m_stopping.load() || !m_wasUp.load())
            break;
        {
            std::unique_lock<std::mutex> lock(m_queueMutex);
            m_queueDrained.wait_for(lock, std::chrono::milliseconds(delayMs), [this] { return m_stopping.load(); });
        }
        delayMs = std::min(delayMs * 2, m_longestDelayMs);
        if (!m_stopping.load())
            mosquitto_reconnect_async(m_mosq);
    }
    // What the owner queued last (an unsubscribe, the DISCONNECT) goes out.
    QElapsedTimer flush;
    flush.start();
    while (mosquitto_socket(m_mosq) >= 0 && flush.elapsed() < kFlushMs) {
        if (mosquitto_loop(m_mosq, kLoopWaitMs, 1) != MOSQ_ERR_SUCCESS)
            break;
    }
}

void MqttClient::connectToHost()
{
    if (m_state != Disconnected)
        return;
    m_reconnecting = false;
    m_wanted.clear();
    stopLoop();
    if (m_mosq)
        mosquitto_destroy(m_mosq);
    // No thread of the old connection is left: its queued events are dropped.
    ++m_session;
    m_wasUp.store(false);
    m_cameUp.store(false);
    m_stopping.store(false);
    m_queuedBytes = 0;
    m_queuedMessages = 0;
    m_mosq = mosquitto_new(m_clientId.toUtf8().constData(), m_cleanSession, this);
    if (!m_mosq) {
        setError(UnknownError);
        return;
    }
    mosquitto_int_option(m_mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_connect_callback_set(m_mosq, &MqttClient::onConnect);
    mosquitto_disconnect_callback_set(m_mosq, &MqttClient::onDisconnect);
    mosquitto_subscribe_callback_set(m_mosq, &MqttClient::onSubscribe);
    mosquitto_message_callback_set(m_mosq, &MqttClient::onMessage);
    mosquitto_threaded_set(m_mosq, true);
    if (!m_username.isEmpty())
        mosquitto_username_pw_set(m_mosq, m_username.toUtf8().constData(), m_password.toUtf8().constData());

    // A new attempt reports its own outcome, even the same refusal again.
    m_error = NoError;
    setState(Connecting);
    const QByteArray host = m_hostname.toUtf8();
    const int rc = mosquitto_connect_async(m_mosq, host.constData(), m_port, m_keepAlive);
    if (rc != MOSQ_ERR_SUCCESS) {
        setError(TransportInvalid);
        setState(Disconnected);
        return;
    }
    m_loop = std::thread([this] { runLoop(); });
}

void MqttClient::disconnectFromHost()
{
    m_wanted.clear();
    const bool wasReconnecting = std::exchange(m_reconnecting, false);
    if (!wasReconnecting && (m_state == Disconnected || !m_mosq))
        return;
    stopLoop();
    if (wasReconnecting)
        return;
    clearSubscriptions();
    setState(Disconnected);
}

MqttSubscription *MqttClient::subscribe(const QString &topicFilter, quint8 qos)
{
    if (m_state != Connected || topicFilter.isEmpty() || qos > 2)
        return nullptr;
    if (MqttSubscription *existing = m_subscriptions.value(topicFilter)) {
        if (existing->state() == MqttSubscription::SubscriptionPending
            || existing->state() == MqttSubscription::Subscribed)
            return existing;
        m_subscriptions.remove(topicFilter);
        existing->deleteLater();
    }
    int mid = 0;
    const QByteArray filter = topicFilter.toUtf8();
    if (mosquitto_subscribe(m_mosq, &mid, filter.constData(), qos) != MOSQ_ERR_SUCCESS)
        return nullptr;
    auto *subscription = new MqttSubscription(topicFilter, this);
    subscription->setState(MqttSubscription::SubscriptionPending);
    m_wanted.insert(topicFilter, qos);
    m_subscriptions.insert(topicFilter, subscription);
    // The broker's answer is queued behind this call: the id is known first.
    m_pendingSubscribes.insert(mid, topicFilter);
    return subscription;
}

void MqttClient::unsubscribe(const QString &topicFilter)
{
    m_wanted.remove(topicFilter);
    if (m_state == Connected && !topicFilter.isEmpty()) {
        const QByteArray filter = topicFilter.toUtf8();
        mosquitto_unsubscribe(m_mosq, nullptr, filter.constData());
    }
    if (MqttSubscription *subscription = m_subscriptions.take(topicFilter)) {
        subscription->setState(MqttSubscription::Unsubscribed);
        subscription->deleteLater();
    }
}

int MqttClient::publish(const QString &topic, const QByteArray &payload, quint8 qos, bool retain)
{
    if (m_state != Connected || !isValidTopicName(topic) || qos > 2)
        return -1;
    int mid = 0;
    const QByteArray name = topic.toUtf8();
    const int rc =
        mosquitto_publish(m_mosq, &mid, name.constData(), int(payload.size()), payload.constData(), qos, retain);
    return rc == MOSQ_ERR_SUCCESS && mid > 0 ? mid : -1;
}

void MqttClient::post(std::function<void()> event)
{
    const quint64 session = m_session.load();
    // With this object as context: dropped if it is deleted first.
    QMetaObject::invokeMethod(this, [this, session, event = std::move(event)] {
        if (session == m_session.load())
            event();
    }, Qt::QueuedConnection);
}

void MqttClient::setState(ClientState state)
{
    if (m_state == state)
        return;
    m_state = state;
    emit stateChanged(state);
}

void MqttClient::setError(ClientError error)
{
    if (m_error == error)
        return;
    m_error = error;
    emit errorChanged(error);
}

void MqttClient::linkLost(int rc)
{
    if (m_reconnecting || m_state == Disconnected)
        return;
    // The loop thread has already decided: it retries a link that was up
    // and ended the others.
    const bool reconnect = m_wasUp.load() && rc != MOSQ_ERR_SUCCESS;
    // An answer that refused the connection has set its reason already.
    if (rc != MOSQ_ERR_SUCCESS && m_error == NoError)
        setError(TransportInvalid);
    clearSubscriptions();
    m_reconnecting = reconnect;
    setState(Disconnected);
}

void MqttClient::resubscribe()
{
    const QHash<QString, quint8> wanted = m_wanted;
    for (auto it = wanted.cbegin(); it != wanted.cend(); ++it)
        subscribe(it.key(), it.value());
}

void MqttClient::clearSubscriptions()
{
    const auto subscriptions = m_subscriptions;
    m_subscriptions.clear();
    m_pendingSubscribes.clear();
    for (const QPointer<MqttSubscription> &subscription : subscriptions) {
        if (subscription) {
            subscription->setState(MqttSubscription::Unsubscribed);
            subscription->deleteLater();
        }
    }
}

// The callbacks below run on the loop thread.

void MqttClient::onConnect(mosquitto *mosq, void *self, int rc)
{
    auto *client = static_cast<MqttClient *>(self);
    if (rc == 0) {
        if (client->m_stopping.load()) {
            mosquitto_disconnect(mosq);
            return;
        }
        client->m_wasUp.store(true);
        client->m_cameUp.store(true);
    }
    client->post([client, rc] {
        if (rc == 0) {
            const bool back = std::exchange(client->m_reconnecting, false);
            client->setState(Connected);
            if (back)
                client->resubscribe();
        } else {
            client->setError(refusal(rc));
        }
    });
}

void MqttClient::onDisconnect(mosquitto *, void *self, int rc)
{
    auto *client = static_cast<MqttClient *>(self);
    client->post([client, rc] { client->linkLost(rc); });
}

void MqttClient::onSubscribe(mosquitto *, void *self, int mid, int count, const int *granted)
{
    auto *client = static_cast<MqttClient *>(self);
    const bool refused = count < 1 || granted[0] >= kSubscriptionRefused || granted[0] > 2;
    client->post([client, mid, refused] {
        const QString topic = client->m_pendingSubscribes.take(mid);
        MqttSubscription *subscription = client->m_subscriptions.value(topic);
        if (!subscription)
            return;
        if (refused)
            client->m_wanted.remove(topic);
        subscription->setState(refused ? MqttSubscription::Error : MqttSubscription::Subscribed);
    });
}

void MqttClient::onMessage(mosquitto *, void *self, const struct mosquitto_message *message)
{
    auto *client = static_cast<MqttClient *>(self);
    const QString topic = QString::fromUtf8(message->topic ? message->topic : "");
    const qint64 maxPayload = client->m_maxPayload.load();
    if (maxPayload >= 0 && message->payloadlen > maxPayload) {
        const int size = message->payloadlen;
        client->post([topic, size] {
            qWarning() << "MqttClient::onMessage" << "message of" << size << "bytes on" << topic << "dropped";
        });
        return;
    }
    const qint64 size = message->payloadlen;
    {
        std::unique_lock<std::mutex> lock(client->m_queueMutex);
        client->m_queueDrained.wait(lock, [client] {
            return (client->m_queuedBytes < kMaxQueuedBytes && client->m_queuedMessages < kMaxQueuedMessages)
                || client->m_stopping.load();
        });
        if (client->m_stopping.load())
            return;
        client->m_queuedBytes += size;
        ++client->m_queuedMessages;
    }
    const QByteArray payload(static_cast<const char *>(message->payload), message->payloadlen);
    client->post([client, topic, payload, size] {
        {
            std::lock_guard<std::mutex> lock(client->m_queueMutex);
            client->m_queuedBytes -= size;
            --client->m_queuedMessages;
            client->m_queueDrained.notify_all();
        }
        emit client->messageReceived(payload, topic);
    });
}
