#pragma once

#include "settings/config.h"

// Link settings read at every use, with the defaults of the parameter table
// when no settings object exists (tools, some tests).
namespace LinkSettings {

inline int intSetting(const Config *config, Config::ConfigParamType key, int fallback)
{
    if (!config)
        return fallback;
    bool ok = false;
    const int v = config->getProperty(key).toInt(&ok);
    return ok ? v : fallback;
}

inline int replyTimeoutMs(const Config *c) { return intSetting(c, Config::CPT_wait_TcpRet_Msecs, 500); }
inline int longReplyTimeoutMs(const Config *c) { return intSetting(c, Config::CPT_wait_TcpRet_Msecs_Max, 10000); }
// A size below one packet could never make progress.
inline int packetBytes(const Config *c) { return qMax(1, intSetting(c, Config::CPT_Package_size, 1)) * 1024; }

} // namespace LinkSettings
