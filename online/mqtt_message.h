#pragma once

#include "online/mqtt_setting.h"
#include "online/online_export.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QWidget;
class QWindow;

// The program's one link to the MQTT broker: connects with an mqttSetting,
// subscribes topics with per-topic callbacks, publishes, and turns messages
// on the advertisement topic into pictures of the advertisement window.
// GUI thread only; connectToServer and subTopic wait up to 1000 ms each
// while the event loop keeps running.
class SPOOLSMITH_ONLINE_EXPORT mqttMessage : public QObject
{
    Q_OBJECT
public:
    using Callback = std::function<void(const QString &topic, const QByteArray &payload)>;

    explicit mqttMessage(QObject *parent = nullptr);
    ~mqttMessage() override;

    // True when connected on return. An empty client id in settings comes
    // back as the one the client generated.
    bool connectToServer(mqttSetting &settings);
    // Also forgets every callback of every topic.
    void disconnectFromServer();
    bool isConnectToServer();
    // QoS 1. Two callbacks count as the same when both wrap the same plain
    // function; any other callback is never matched by another.
    bool subTopic(const QString &topic, Callback callback);
    // An empty callback unsubscribes the topic at the broker; otherwise the
    // matching callbacks go, and the topic with them once none is left.
    void unSubTopic(const QString &topic, Callback callback);
    bool pubTopic(const QString &topic, const QByteArray &payload);
    // Once per client: creates the advertisement window and subscribes topic.
    bool showAD(const QString &topic, QWidget *parent);
    bool showAD(const QString &topic, QWindow *parent);
    void hideAD();

signals:
    void messageReceived(const QString &topic, const QByteArray &message);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
