#pragma once

#include <QtGlobal>

// The online classes are part of the program file's exported interface. On
// Windows the program exports them; elsewhere symbols are visible anyway.
#if defined(Q_OS_WIN)
#define SPOOLSMITH_ONLINE_EXPORT Q_DECL_EXPORT
#else
#define SPOOLSMITH_ONLINE_EXPORT
#endif
