#include "platform/named_objects/named_mutex.h"

#include "platform/named_objects/object_name.h"
#include "platform/named_objects/shared_segment.h"

#include <cerrno>
#include <pthread.h>
#include <time.h>

namespace named {

namespace {

constexpr const char *kKind = "mutex";

pthread_mutex_t *mutexOf(const SharedSegment &segment)
{
    return static_cast<pthread_mutex_t *>(segment.payload());
}

void initMutex(void *memory)
{
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_setpshared(&attributes, PTHREAD_PROCESS_SHARED);
    pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST);
    pthread_mutex_init(static_cast<pthread_mutex_t *>(memory), &attributes);
    pthread_mutexattr_destroy(&attributes);
}

// The type word of a mutex made as initMutex makes it. Locking a peer's
// mutex of another type (priority inheritance, say) makes the C library
// abort in some states: such a mutex is refused, never locked.
int ownKind()
{
    static const int kind = [] {
        pthread_mutex_t reference;
        initMutex(&reference);
        const int k = reference.__data.__kind;
        pthread_mutex_destroy(&reference);
        return k;
    }();
    return kind;
}

bool isOwnKind(pthread_mutex_t *mutex) { return __atomic_load_n(&mutex->__data.__kind, __ATOMIC_RELAXED) == ownKind(); }

timespec toTimespec(BoundedWait::Clock::time_point at)
{
    const auto since = at.time_since_epoch();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since);
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(seconds.count());
    ts.tv_nsec = static_cast<long>(std::chrono::duration_cast<std::chrono::nanoseconds>(since - seconds).count());
    return ts;
}

} // namespace

NamedMutex::NamedMutex(std::unique_ptr<SharedSegment> segment) : m_segment(std::move(segment)) {}
NamedMutex::~NamedMutex() = default;

std::unique_ptr<NamedMutex> NamedMutex::create(const std::string &name, int &error)
{
    auto segment = SharedSegment::create(objectPath(name, kKind), SharedSegment::Kind::Mutex,
                                         sizeof(pthread_mutex_t), initMutex, error);
    if (!segment)
        return nullptr;
    return std::unique_ptr<NamedMutex>(new NamedMutex(std::move(segment)));
}

std::unique_ptr<NamedMutex> NamedMutex::open(const std::string &name, int &error)
{
    auto segment = SharedSegment::open(objectPath(name, kKind), SharedSegment::Kind::Mutex, error);
    if (!segment)
        return nullptr;
    return std::unique_ptr<NamedMutex>(new NamedMutex(std::move(segment)));
}

NamedMutex::LockResult NamedMutex::lock(std::chrono::milliseconds timeout, const CancelCheck &cancelled, int *error)
{
    const BoundedWait wait(timeout, cancelled);
    for (;;) {
        if (!m_segment->isWhole())
            return LockResult::Shrunk;
        if (!isOwnKind(mutexOf(*m_segment))) {
            if (error)
                *error = EINVAL;
            return LockResult::Failed;
        }
        const timespec until = toTimespec(wait.sliceEnd());
        const int rc = pthread_mutex_clocklock(mutexOf(*m_segment), CLOCK_MONOTONIC, &until);
        if (rc == 0)
            return LockResult::Acquired;
        if (rc == EOWNERDEAD) {
            pthread_mutex_consistent(mutexOf(*m_segment));
            return LockResult::Abandoned;
        }
        if (rc != ETIMEDOUT) {
            if (error)
                *error = rc;
            return LockResult::Failed;
        }
        if (wait.expired())
            return LockResult::TimedOut;
        if (wait.cancelled())
            return LockResult::Cancelled;
    }
}

void NamedMutex::unlock()
{
    if (m_segment->isWhole() && isOwnKind(mutexOf(*m_segment)))
        pthread_mutex_unlock(mutexOf(*m_segment));
}

bool NamedMutex::isCurrent() const { return m_segment->isCurrent(); }
bool NamedMutex::isWhole() const { return m_segment->isWhole(); }
std::size_t NamedMutex::currentSize() const { return m_segment->currentSize(); }

} // namespace named
