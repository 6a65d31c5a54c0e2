#include "online/mqtt_setting.h"

// Out of line so that the exported members exist in the program file.
mqttSetting::mqttSetting() = default;
mqttSetting::mqttSetting(const mqttSetting &other) = default;
mqttSetting::mqttSetting(mqttSetting &&other) noexcept = default;
mqttSetting &mqttSetting::operator=(const mqttSetting &other) = default;
mqttSetting &mqttSetting::operator=(mqttSetting &&other) noexcept = default;
mqttSetting::~mqttSetting() = default;
