#include "online/mqtt_message.h"

#include "online/advert_message.h"
#include "online/carousel_image_window.h"
#include "platform/mqtt/mqtt_client.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMap>
#include <QPointer>
#include <QTimer>

#include <exception>

namespace {

constexpr int kWaitMs = 1000;
constexpr int kPollMs = 50;
constexpr quint8 kQos = 1;

using Callback = mqttMessage::Callback;
using PlainFunction = void (*)(const QString &, const QByteArray &);

bool sameCallback(const Callback &a, const Callback &b)
{
    const PlainFunction *fa = a.target<PlainFunction>();
    const PlainFunction *fb = b.target<PlainFunction>();
    return fa && fb && *fa == *fb;
}

// Keeps the event loop running, in slices of kPollMs, until done or kWaitMs.
template <typename Done>
void waitUntil(Done &&done)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < kWaitMs) {
        QEventLoop loop;
        QTimer::singleShot(kPollMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

} // namespace

struct mqttMessage::Private
{
    struct Entry
    {
        quint64 id;
        Callback callback;
    };

    QPointer<CarouselImageWindow> adWindow;
    bool adWindowOwned = false;
    std::unique_ptr<MqttClient> client;
    mqttSetting settings;
    QString adTopic;
    QMap<QString, QList<Entry>> callbacks;
    quint64 nextEntryId = 1;

    void registerCallback(const QString &topic, const Callback &callback)
    {
        QList<Entry> &list = callbacks[topic];
        if (!callback)
            return;
        for (const Entry &entry : list) {
            if (sameCallback(entry.callback, callback))
                return;
        }
        list.append({nextEntryId++, callback});
    }

    void showAdvertisement(const QByteArray &payload)
    {
        const AdvertMessage message = AdvertMessage::parse(payload);
        if (!message.showsPictures() || !adWindow)
            return;
        adWindow->setImageUrl(message.images, message.links);
        adWindow->startPlay();
    }
};

mqttMessage::mqttMessage(QObject *parent)
    : QObject(parent)
    , d(std::make_unique<Private>())
{
    d->client = std::make_unique<MqttClient>();
    MqttClient *client = d->client.get();
    client->setKeepAlive(60);
    client->setCleanSession(false);
    // No message of ours comes near this; a larger one is never copied out of
    // the library nor parsed.
    client->setMaxPayload(AdvertMessage::kMaxBytes);

    connect(client, &MqttClient::stateChanged, this, [this](MqttClient::ClientState state) {
        if (state == MqttClient::Connected) {
            qInfo() << "mqttMessage::onStateChanged" << "[成功连接]" << d->client->clientId();
        } else if (state == MqttClient::Disconnected) {
            qCritical() << "mqttMessage::onStateChanged" << "[断开连接]" << d->client->clientId() << "错误:"
                        << d->client->error();
        }
    }, Qt::DirectConnection);
    connect(client, &MqttClient::errorChanged, this, [this](MqttClient::ClientError error) {
        qCritical() << "mqttMessage::onErrorChanged" << "[客户端错误]" << d->client->clientId() << "错误码:" << error;
    }, Qt::DirectConnection);
    connect(client, &MqttClient::messageReceived, this, [this](const QByteArray &payload, const QString &topic) {
        if (!MqttClient::isValidTopicName(topic))
            return;
        if (topic == d->adTopic)
            d->showAdvertisement(payload);
        emit messageReceived(topic, payload);
        // A callback may subscribe or unsubscribe: call a copy, and take out
        // the ones that failed by their id.
        const QList<Private::Entry> entries = d->callbacks.value(topic);
        for (const Private::Entry &entry : entries) {
            QString failure;
            try {
                entry.callback(topic, payload);
                continue;
            } catch (const std::exception &e) {
                failure = QString::fromLocal8Bit(e.what());
            } catch (...) {
                // Nothing may unwind into the MQTT library.
                failure = QStringLiteral("unknown exception");
            }
            qCritical() << "mqttMessage::onMessageReceived" << topic << failure;
            auto it = d->callbacks.find(topic);
            if (it != d->callbacks.end())
                it->removeIf([&entry](const Private::Entry &e) { return e.id == entry.id; });
        }
    }, Qt::DirectConnection);
}

mqttMessage::~mqttMessage()
{
    disconnectFromServer();
    // A window attached to a QWindow has no owner but this client.
    if (d->adWindowOwned && d->adWindow)
        delete d->adWindow.data();
    d->client.reset();
}

bool mqttMessage::connectToServer(mqttSetting &settings)
{
    MqttClient *client = d->client.get();
    if (client->state() == MqttClient::Connected)
        return false;
    client->setHostname(settings.hostname);
    client->setPort(settings.port);
    if (!settings.username.isEmpty()) {
        client->setUsername(settings.username);
        client->setPassword(settings.password);
    } else {
        client->setUsername(QString());
        client->setPassword(QString());
    }
    if (settings.clientId.isEmpty())
        settings.clientId = client->clientId();
    else
        client->setClientId(settings.clientId);
    d->settings = settings;

    qInfo() << "mqttMessage::connectToServer" << settings.hostname << settings.port << settings.username
            << settings.clientId;
    client->connectToHost();
    waitUntil([client] { return client->state() == MqttClient::Connected; });
    return client->state() == MqttClient::Connected;
}

void mqttMessage::disconnectFromServer()
{
    d->client->disconnectFromHost();
    d->callbacks.clear();
}

bool mqttMessage::isConnectToServer()
{
    return d->client->state() == MqttClient::Connected;
}

bool mqttMessage::subTopic(const QString &topic, Callback callback)
{
    if (topic.isEmpty()) {
        qCritical() << "mqttMessage::subTopic" << "订阅主题不能为空";
        return false;
    }
    if (!isConnectToServer()) {
        qCritical() << "mqttMessage::subTopic" << "客户端未连接，延迟订阅...";
        return false;
    }
    QPointer<MqttSubscription> subscription = d->client->subscribe(topic, kQos);
    if (!subscription) {
        qCritical() << "mqttMessage::subTopic" << "订阅失败！Topic:" << topic;
        return false;
    }
    if (subscription->state() == MqttSubscription::Subscribed) {
        if (callback)
            d->registerCallback(topic, callback);
        return true;
    }
    connect(subscription, &MqttSubscription::stateChanged, this,
            [this, topic, callback](MqttSubscription::SubscriptionState state) {
                if (state == MqttSubscription::Subscribed)
                    d->registerCallback(topic, callback);
                else if (state == MqttSubscription::Error)
                    qCritical() << "mqttMessage::onSubscriptionStateChanged" << "订阅失败，请检查主题权限:" << topic;
            });
    // A granted subscription is awaited the whole second; only a refusal
    // ends the wait early.
    waitUntil([&subscription] { return !subscription || subscription->state() == MqttSubscription::Error; });
    return subscription && subscription->state() == MqttSubscription::Subscribed;
}

void mqttMessage::unSubTopic(const QString &topic, Callback callback)
{
    auto it = d->callbacks.find(topic);
    if (it == d->callbacks.end())
        return;
    if (callback) {
        it->removeIf([&callback](const Private::Entry &e) { return sameCallback(e.callback, callback); });
        if (!it->isEmpty())
            return;
    }
    d->client->unsubscribe(topic);
}

bool mqttMessage::pubTopic(const QString &topic, const QByteArray &payload)
{
    return d->client->publish(topic, payload, kQos, false) > 0;
}

bool mqttMessage::showAD(const QString &topic, QWidget *parent)
{
    if (d->adWindow)
        return false;
    d->adWindow = new CarouselImageWindow(parent);
    d->adWindowOwned = parent == nullptr;
    unSubTopic(d->adTopic, Callback());
    d->adTopic = topic;
    return subTopic(topic, Callback());
}

bool mqttMessage::showAD(const QString &topic, QWindow *parent)
{
    if (d->adWindow)
        return false;
    d->adWindow = new CarouselImageWindow(parent);
    d->adWindowOwned = true;
    unSubTopic(d->adTopic, Callback());
    d->adTopic = topic;
    return subTopic(topic, Callback());
}

void mqttMessage::hideAD()
{
    unSubTopic(d->adTopic, Callback());
}
