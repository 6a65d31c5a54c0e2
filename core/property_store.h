#pragma once

// The faces' property writers compare, store and then emit: whole numbers
// and texts exactly, doubles within a relative 1e-12, floats within 1e-5.
// The signal goes out after the lock is released, so a slot may read the
// property again without deadlocking.

#include <QtGlobal>

#include <atomic>
#include <mutex>
#include <utility>

namespace spoolsmith {

template <typename T>
inline bool sameValue(const T &a, const T &b)
{
    return a == b;
}

inline bool sameValue(const double &a, const double &b)
{
    return a == b || qFuzzyCompare(a, b);
}

inline bool sameValue(const float &a, const float &b)
{
    return a == b || qFuzzyCompare(a, b);
}

// Stores value into field under lock when it differs; calls emitChanged
// (outside the lock) only then. Returns whether the value changed.
template <typename T, typename Mutex, typename Emit>
bool storeAndNotify(Mutex &lock, T &field, const T &value, Emit &&emitChanged)
{
    {
        std::lock_guard<Mutex> guard(lock);
        if (sameValue(field, value))
            return false;
        field = value;
    }
    std::forward<Emit>(emitChanged)();
    return true;
}

// The same for a field only the GUI thread touches.
template <typename T, typename Emit>
bool storeAndNotify(T &field, const T &value, Emit &&emitChanged)
{
    if (sameValue(field, value))
        return false;
    field = value;
    std::forward<Emit>(emitChanged)();
    return true;
}

} // namespace spoolsmith

namespace spoolsmith {

// The same for an atomic field read by other threads without a lock.
template <typename T, typename Emit>
bool storeAndNotify(std::atomic<T> &field, const T &value, Emit &&emitChanged)
{
    if (sameValue(field.exchange(value), value))
        return false;
    std::forward<Emit>(emitChanged)();
    return true;
}

} // namespace spoolsmith
