#pragma once

#include <QtGlobal>

// A wait, a call or a held GUI thread this long is a hang, however loaded
// the machine: the only wall-clock upper bound a test keeps. How fast things
// go is weighed by the benchmarks (bench/), beside their goals.
inline constexpr qint64 kHangMs = 5000;
