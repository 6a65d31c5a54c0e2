#pragma once

#include "online/online_export.h"

#include <QString>

// The connection settings of the MQTT client.
struct SPOOLSMITH_ONLINE_EXPORT mqttSetting
{
    mqttSetting();
    mqttSetting(const mqttSetting &other);
    mqttSetting(mqttSetting &&other) noexcept;
    mqttSetting &operator=(const mqttSetting &other);
    mqttSetting &operator=(mqttSetting &&other) noexcept;
    ~mqttSetting();

    QString hostname;
    quint16 port = 1883;
    // Empty: connect without credentials.
    QString username;
    // Sent only together with a user name.
    QString password;
    // Empty: the client's generated id is used and written back.
    QString clientId;
};
