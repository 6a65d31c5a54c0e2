#pragma once

#include "platform/named_objects/bounded_wait.h"

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

namespace named {

class SharedSegment;

// A named mutex shared between processes: a robust, process-shared pthread
// mutex. A holder that ended without unlocking leaves it "abandoned": the
// next lock gets it, made consistent, and is told so.
class NamedMutex
{
public:
    // Shrunk: another process cut the object short; it is left untouched.
    enum class LockResult { Acquired, Abandoned, TimedOut, Cancelled, Failed, Shrunk };

    static std::unique_ptr<NamedMutex> create(const std::string &name, int &error);
    static std::unique_ptr<NamedMutex> open(const std::string &name, int &error);
    ~NamedMutex();

    // Held afterwards on Acquired and Abandoned; error gets the cause of Failed.
    LockResult lock(std::chrono::milliseconds timeout, const CancelCheck &cancelled, int *error = nullptr);
    void unlock();
    bool isCurrent() const;
    // Still of its full size; its size in bytes now.
    bool isWhole() const;
    std::size_t currentSize() const;

private:
    explicit NamedMutex(std::unique_ptr<SharedSegment> segment);
    std::unique_ptr<SharedSegment> m_segment;
};

} // namespace named
