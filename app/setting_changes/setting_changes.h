#pragma once

#include "settings/config.h"

#include <QString>
#include <QVariant>

#include <functional>

// What the application does when a setting changes: the task settings are
// read again between jobs, and a few settings take effect at once.
class SettingChanges
{
public:
    struct Hooks
    {
        std::function<int()> taskStatus;
        std::function<void()> loadTaskSettings;
        // CPT_RIIN_Path or CPT_Printer_Soft_Path and the new path.
        std::function<void(Config::ConfigParamType, const QString &)> programPathChanged;
        // The open cut file, loaded again under the changed cut direction.
        std::function<void()> reopenCutFile;
    };

    explicit SettingChanges(Hooks hooks);

    void apply(Config::ConfigParamType key, const QVariant &value);

private:
    Hooks m_hooks;
};
