#pragma once

#include "settings/config.h"
#include "settings/param_limits.h"

// Link settings read at every use, with the defaults of the parameter table
// when no settings object exists (tools, some tests) or the value lies
// outside its range: every reply wait is bounded.
namespace LinkSettings {

inline int intSetting(const Config *config, Config::ConfigParamType key, int fallback)
{
    return ParamLimits::boundedInt(config, key, fallback);
}

inline int replyTimeoutMs(const Config *c) { return intSetting(c, Config::CPT_wait_TcpRet_Msecs, 500); }
inline int longReplyTimeoutMs(const Config *c) { return intSetting(c, Config::CPT_wait_TcpRet_Msecs_Max, 10000); }
// A size below one packet could never make progress (the range starts at 1).
inline int packetBytes(const Config *c) { return intSetting(c, Config::CPT_Package_size, 1) * 1024; }

} // namespace LinkSettings
