#pragma once

#include <QtGlobal>

// The online classes are part of the program file's exported interface (the
// program's link lists them, app/program_exports.list).
#define SPOOLSMITH_ONLINE_EXPORT Q_DECL_EXPORT
