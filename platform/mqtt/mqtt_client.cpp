#include "platform/mqtt/mqtt_client.h"

#include <mosquitto.h>

#include <QDebug>
#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QTimer>

#include <sys/socket.h>

#include <algorithm>
#include <mutex>
#include <utility>

namespace {

constexpr int kHousekeepingMs = 100;
constexpr int kReceiveBufferBytes = 64 * 1024;
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
    , m_housekeeping(new QTimer(this))
    , m_reconnect(new QTimer(this))
{
    initLibrary();
    m_housekeeping->setInterval(kHousekeepingMs);
    connect(m_housekeeping, &QTimer::timeout, this, &MqttClient::housekeeping);
    m_reconnect->setSingleShot(true);
    connect(m_reconnect, &QTimer::timeout, this, &MqttClient::reconnect);
}

void MqttClient::setReconnectDelays(int firstMs, int longestMs)
{
    m_firstDelayMs = firstMs;
    m_longestDelayMs = std::max(firstMs, longestMs);
}

MqttClient::~MqttClient()
{
    dropSocket();
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

void MqttClient::connectToHost()
{
    if (m_state != Disconnected)
        return;
    m_reconnect->stop();
    m_reconnecting = false;
    m_wanted.clear();
    dropSocket();
    if (m_mosq)
        mosquitto_destroy(m_mosq);
    m_events.clear();
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
    if (!m_username.isEmpty())
        mosquitto_username_pw_set(m_mosq, m_username.toUtf8().constData(), m_password.toUtf8().constData());

    // A new attempt reports its own outcome, even the same refusal again.
    m_error = NoError;
    setState(Connecting);
    const QByteArray host = m_hostname.toUtf8();
    const int rc = call([&] { return mosquitto_connect_async(m_mosq, host.constData(), m_port, m_keepAlive); });
    if (rc != MOSQ_ERR_SUCCESS) {
        setError(TransportInvalid);
        setState(Disconnected);
        return;
    }
    m_housekeeping->start();
}

void MqttClient::disconnectFromHost()
{
    m_reconnect->stop();
    m_wanted.clear();
    if (m_reconnecting) {
        m_reconnecting = false;
        m_housekeeping->stop();
        call([&] { return mosquitto_disconnect(m_mosq); });
        dropSocket();
        return;
    }
    if (m_state == Disconnected || !m_mosq)
        return;
    call([&] { return mosquitto_disconnect(m_mosq); });
    dropSocket();
    m_housekeeping->stop();
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
    const int rc = call([&] { return mosquitto_subscribe(m_mosq, &mid, filter.constData(), qos); });
    if (rc != MOSQ_ERR_SUCCESS)
        return nullptr;
    auto *subscription = new MqttSubscription(topicFilter, this);
    subscription->setState(MqttSubscription::SubscriptionPending);
    m_wanted.insert(topicFilter, qos);
    m_subscriptions.insert(topicFilter, subscription);
    m_pendingSubscribes.insert(mid, topicFilter);
    return subscription;
}

void MqttClient::unsubscribe(const QString &topicFilter)
{
    m_wanted.remove(topicFilter);
    if (m_state == Connected && !topicFilter.isEmpty()) {
        const QByteArray filter = topicFilter.toUtf8();
        call([&] { return mosquitto_unsubscribe(m_mosq, nullptr, filter.constData()); });
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
    const int rc = call([&] {
        return mosquitto_publish(m_mosq, &mid, name.constData(), int(payload.size()), payload.constData(), qos,
                                 retain);
    });
    return rc == MOSQ_ERR_SUCCESS && mid > 0 ? mid : -1;
}

template <typename Call>
int MqttClient::call(Call &&libraryCall)
{
    ++m_libraryDepth;
    const int rc = libraryCall();
    --m_libraryDepth;
    watchSocket();
    deliver();
    return rc;
}

void MqttClient::post(std::function<void()> event)
{
    m_events.push_back(std::move(event));
}

void MqttClient::deliver()
{
    // Only outside the library: a slot may call in again or spin a loop.
    while (m_libraryDepth == 0 && !m_events.empty()) {
        auto event = std::move(m_events.front());
        m_events.pop_front();
        event();
    }
}

void MqttClient::watchSocket()
{
    const int fd = m_mosq ? mosquitto_socket(m_mosq) : -1;
    if (fd != m_socket)
        dropSocket();
    if (fd < 0)
        return;
    if (!m_readNotifier) {
        m_socket = fd;
        // The library reads until the socket runs dry: a small receive
        // buffer keeps each read, and so each stop of this thread, short
        // however large a message is.
        const int receiveBuffer = kReceiveBufferBytes;
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        m_readNotifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        connect(m_readNotifier.get(), &QSocketNotifier::activated, this, &MqttClient::readReady);
        m_writeNotifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
        connect(m_writeNotifier.get(), &QSocketNotifier::activated, this, &MqttClient::writeReady);
    }
    m_writeNotifier->setEnabled(mosquitto_want_write(m_mosq));
}

void MqttClient::dropSocket()
{
    // The library closes the socket itself; the notifiers must not outlive it.
    if (m_readNotifier) {
        m_readNotifier->setEnabled(false);
        m_readNotifier.release()->deleteLater();
    }
    if (m_writeNotifier) {
        m_writeNotifier->setEnabled(false);
        m_writeNotifier.release()->deleteLater();
    }
    m_socket = -1;
}

void MqttClient::readReady()
{
    if (m_mosq && m_libraryDepth == 0)
        call([&] { return mosquitto_loop_read(m_mosq, 1); });
}

void MqttClient::writeReady()
{
    if (m_mosq && m_libraryDepth == 0)
        call([&] { return mosquitto_loop_write(m_mosq, 1); });
}

void MqttClient::housekeeping()
{
    if (m_mosq && m_libraryDepth == 0)
        call([&] { return mosquitto_loop_misc(m_mosq); });
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
    if (m_reconnecting) {
        // An attempt that did not get through: the next one, later.
        dropSocket();
        m_housekeeping->stop();
        scheduleReconnect();
        return;
    }
    if (m_state == Disconnected)
        return;
    // Only a link that was up is taken up again; a first connect that fails
    // is the caller's to repeat.
    const bool reconnect = m_state == Connected && rc != MOSQ_ERR_SUCCESS;
    // An answer that refused the connection has set its reason already.
    if (rc != MOSQ_ERR_SUCCESS && m_error == NoError)
        setError(TransportInvalid);
    dropSocket();
    m_housekeeping->stop();
    clearSubscriptions();
    setState(Disconnected);
    if (reconnect) {
        m_reconnecting = true;
        m_delayMs = m_firstDelayMs;
        scheduleReconnect();
    }
}

void MqttClient::scheduleReconnect()
{
    m_reconnect->start(m_delayMs);
    m_delayMs = std::min(m_delayMs * 2, m_longestDelayMs);
}

void MqttClient::reconnect()
{
    if (!m_reconnecting || !m_mosq)
        return;
    m_housekeeping->start();
    const int rc = call([&] { return mosquitto_reconnect_async(m_mosq); });
    if (rc != MOSQ_ERR_SUCCESS && m_reconnecting) {
        dropSocket();
        m_housekeeping->stop();
        scheduleReconnect();
    }
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

void MqttClient::onConnect(mosquitto *, void *self, int rc)
{
    auto *client = static_cast<MqttClient *>(self);
    client->post([client, rc] {
        if (rc == 0) {
            const bool back = std::exchange(client->m_reconnecting, false);
            client->m_reconnect->stop();
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
    if (client->m_maxPayload >= 0 && message->payloadlen > client->m_maxPayload) {
        const int size = message->payloadlen;
        client->post([topic, size] {
            qWarning() << "MqttClient::onMessage" << "message of" << size << "bytes on" << topic << "dropped";
        });
        return;
    }
    const QByteArray payload(static_cast<const char *>(message->payload), message->payloadlen);
    client->post([client, topic, payload] { emit client->messageReceived(payload, topic); });
}
