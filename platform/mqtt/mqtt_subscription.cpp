#include "platform/mqtt/mqtt_subscription.h"

MqttSubscription::MqttSubscription(const QString &topic, QObject *parent)
    : QObject(parent)
    , m_topic(topic)
{
}

void MqttSubscription::setState(SubscriptionState state)
{
    if (m_state == state)
        return;
    m_state = state;
    emit stateChanged(state);
}
