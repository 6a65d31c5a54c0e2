#pragma once

#include <QtGlobal>

// A wait, a call or a held GUI thread this long is a hang, however loaded
// the machine: the only wall-clock upper bound a test keeps. It holds on a
// machine ten times slower than a quiet one, and costs nothing there, as a
// wait ends when its condition holds. How fast things go is weighed by the
// benchmarks (bench/), beside their goals.
#ifdef SPOOLSMITH_SANITIZED
// The sanitised build runs everything about twice as slowly, so its bound
// is twice as long, as its ctest bound is.
inline constexpr qint64 kHangMs = 120000;
#else
inline constexpr qint64 kHangMs = 60000;
#endif
// For a wait over much longer work: a whole job of many pages, a large file.
inline constexpr qint64 kLongHangMs = 2 * kHangMs;
