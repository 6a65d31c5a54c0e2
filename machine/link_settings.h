#pragma once

#include "settings/config.h"

// Link settings read at every use, with the defaults of the parameter table
// when no settings object exists (tools, some tests).
namespace LinkSettings {

inline int intSetting(Config::ConfigParamType key, int fallback)
{
    Config *config = Config::instance();
    if (!config)
        return fallback;
    bool ok = false;
    const int v = config->getProperty(key).toInt(&ok);
    return ok ? v : fallback;
}

inline int replyTimeoutMs() { return intSetting(Config::CPT_wait_TcpRet_Msecs, 500); }
inline int longReplyTimeoutMs() { return intSetting(Config::CPT_wait_TcpRet_Msecs_Max, 10000); }
// A size below one packet could never make progress.
inline int packetBytes() { return qMax(1, intSetting(Config::CPT_Package_size, 1)) * 1024; }

} // namespace LinkSettings
