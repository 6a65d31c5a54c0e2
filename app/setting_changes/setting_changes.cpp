#include "app/setting_changes/setting_changes.h"

#include "app/logging.h"

SettingChanges::SettingChanges(Hooks hooks)
    : m_hooks(std::move(hooks))
{
}

void SettingChanges::apply(Config::ConfigParamType key, const QVariant &value)
{
    // A running or paused job keeps the settings it started with (a trial
    // copy stays one).
    if (m_hooks.taskStatus() == 2)
        m_hooks.loadTaskSettings();
    switch (key) {
    case Config::CPT_RIIN_Path:
    case Config::CPT_Printer_Soft_Path: m_hooks.programPathChanged(key, value.toString()); break;
    case Config::CPT_LOG_ERROR: setLogError(value.toBool()); break;
    case Config::CPT_LOG_WARNNING: setLogWarn(value.toBool()); break;
    case Config::CPT_LOG_INFO: setLogInfo(value.toBool()); break;
    case Config::CPT_LOG_DEBUG: setLogDebug(value.toBool()); break;
    case Config::CPT_Cut_Inverse: m_hooks.reopenCutFile(); break;
    default: break;
    }
}
