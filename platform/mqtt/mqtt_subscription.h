#pragma once

#include <QObject>
#include <QString>

// One topic filter asked of the broker; its state follows the broker's
// answer. Owned by the MqttClient that made it.
class MqttSubscription : public QObject
{
    Q_OBJECT
public:
    enum SubscriptionState { Unsubscribed, SubscriptionPending, Subscribed, UnsubscriptionPending, Error };
    Q_ENUM(SubscriptionState)

    MqttSubscription(const QString &topic, QObject *parent = nullptr);

    QString topic() const { return m_topic; }
    SubscriptionState state() const { return m_state; }
    void setState(SubscriptionState state);

signals:
    void stateChanged(MqttSubscription::SubscriptionState state);

private:
    QString m_topic;
    SubscriptionState m_state = Unsubscribed;
};
