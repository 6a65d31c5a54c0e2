#pragma once

#include <QtGlobal>

namespace processes {

// The updater the program hands over to, in the program's folder: a batch
// script on Windows, a shell script elsewhere.
#ifdef Q_OS_WIN
inline constexpr char kUpdaterScript[] = "runtool.bat";
#else
inline constexpr char kUpdaterScript[] = "runtool.sh";
#endif

} // namespace processes
