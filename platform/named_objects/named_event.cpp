#include "platform/named_objects/named_event.h"

#include "platform/named_objects/object_name.h"
#include "platform/named_objects/shared_segment.h"

#include <atomic>
#include <climits>
#include <cstdint>
#include <linux/futex.h>
#include <new>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

namespace named {

namespace {

constexpr const char *kKind = "event";
using Flag = std::atomic<std::uint32_t>;
static_assert(Flag::is_always_lock_free && sizeof(Flag) == sizeof(std::uint32_t), "a futex word");

Flag *flagOf(const SharedSegment &segment) { return static_cast<Flag *>(segment.payload()); }

// Shared (not process-private) futex operations on the flag word.
void futexWait(Flag *flag, std::uint32_t expected, std::chrono::nanoseconds timeout)
{
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(timeout.count() / 1000000000);
    ts.tv_nsec = static_cast<long>(timeout.count() % 1000000000);
    syscall(SYS_futex, reinterpret_cast<std::uint32_t *>(flag), FUTEX_WAIT, expected, &ts, nullptr, 0);
}

void futexWakeAll(Flag *flag)
{
    syscall(SYS_futex, reinterpret_cast<std::uint32_t *>(flag), FUTEX_WAKE, INT_MAX, nullptr, nullptr, 0);
}

} // namespace

NamedEvent::NamedEvent(std::unique_ptr<SharedSegment> segment) : m_segment(std::move(segment)) {}
NamedEvent::~NamedEvent() = default;

std::unique_ptr<NamedEvent> NamedEvent::createOrOpen(const std::string &name, int &error)
{
    auto segment = SharedSegment::createOrOpen(objectPath(name, kKind), SharedSegment::Kind::Event, sizeof(Flag),
                                               [](void *memory) { new (memory) Flag(0); }, error);
    if (!segment)
        return nullptr;
    return std::unique_ptr<NamedEvent>(new NamedEvent(std::move(segment)));
}

bool NamedEvent::set()
{
    if (!m_segment->isWhole())
        return false;
    flagOf(*m_segment)->store(1, std::memory_order_release);
    futexWakeAll(flagOf(*m_segment));
    return true;
}

bool NamedEvent::reset()
{
    if (!m_segment->isWhole())
        return false;
    flagOf(*m_segment)->store(0, std::memory_order_release);
    return true;
}

bool NamedEvent::isSet() const
{
    return m_segment->isWhole() && flagOf(*m_segment)->load(std::memory_order_acquire) != 0;
}

NamedEvent::WaitResult NamedEvent::wait(std::chrono::milliseconds timeout, const CancelCheck &cancelled)
{
    const BoundedWait wait(timeout, cancelled);
    for (;;) {
        if (!m_segment->isWhole())
            return WaitResult::Shrunk;
        if (isSet())
            return WaitResult::Signalled;
        if (wait.expired())
            return WaitResult::TimedOut;
        if (wait.cancelled())
            return WaitResult::Cancelled;
        const auto left = wait.sliceEnd() - BoundedWait::Clock::now();
        if (left > std::chrono::nanoseconds::zero())
            futexWait(flagOf(*m_segment), 0, left);
    }
}

bool NamedEvent::isCurrent() const { return m_segment->isCurrent(); }
bool NamedEvent::isWhole() const { return m_segment->isWhole(); }
std::size_t NamedEvent::currentSize() const { return m_segment->currentSize(); }

} // namespace named
