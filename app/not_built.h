#pragma once

#include <QDebug>

// The log line of a call whose part is not built yet; the call then reports
// failure, so nothing counts on what did not happen.
inline void notBuilt(const char *method, const char *what)
{
    qCritical() << method << "not available:" << what;
}
