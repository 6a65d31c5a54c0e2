#include "platform/named_objects/shared_segment.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <new>
#include <poll.h>
#include <sys/syscall.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace named {

namespace {

constexpr std::uint32_t kMagic = 0x4f4e5053; // "SPNO"
constexpr std::size_t kPayloadOffset = 64;

struct Header
{
    std::uint32_t magic;
    std::uint32_t kind;
    std::int32_t creatorPid;
    std::uint32_t reserved;
    std::uint64_t creatorStart;
    std::uint64_t payloadSize;
    std::atomic<std::uint32_t> ready;
};
static_assert(sizeof(Header) <= kPayloadOffset, "header must fit before the payload");
static_assert(std::atomic<std::uint32_t>::is_always_lock_free, "the ready flag is shared between processes");

Header *headerOf(void *base) { return static_cast<Header *>(base); }

ProcessIdentity creatorOf(const Header *header)
{
    return ProcessIdentity{header->creatorPid, header->creatorStart};
}

using Found = SharedSegment::Found;

// What an existing segment's header says about it.
Found inspect(const Header *header, SharedSegment::Kind kind, std::size_t mappedSize)
{
    if (header->ready.load(std::memory_order_acquire) == 0)
        return Found::BeingMade;
    // mappedSize is at least kPayloadOffset; a sum could wrap past zero.
    if (header->magic != kMagic || header->kind != static_cast<std::uint32_t>(kind)
        || header->payloadSize > mappedSize - kPayloadOffset)
        return Found::WrongKind;
    return creatorOf(header).alive() ? Found::Live : Found::Stale;
}

} // namespace

std::unique_ptr<SharedSegment> SharedSegment::attach(int fd, const std::string &path, int &error)
{
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        error = errno;
        close(fd);
        return nullptr;
    }
    std::unique_ptr<SharedSegment> segment(new SharedSegment);
    segment->m_path = path;
    segment->m_fd = fd;
    segment->m_device = info.st_dev;
    segment->m_inode = info.st_ino;
    segment->m_mappedSize = static_cast<std::size_t>(info.st_size);
    if (segment->m_mappedSize < kPayloadOffset) {
        // Not sized yet: its creator is still making it.
        error = ENOENT;
        return nullptr;
    }
    void *base = mmap(nullptr, segment->m_mappedSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (base == MAP_FAILED) {
        error = errno;
        return nullptr;
    }
    segment->m_base = base;
    return segment;
}

// What the segment of that name is, waiting up to 100 ms for one that its
// creator is still making (not sized or not ready yet); one that stays
// unfinished was left by a creator that ended while making it.
SharedSegment::Found SharedSegment::probe(const std::string &path, Kind kind)
{
    using namespace std::chrono_literals;
    for (int wait = 0; wait < 20; ++wait) {
        const int fd = shm_open(path.c_str(), O_RDWR | O_CLOEXEC, 0);
        if (fd < 0)
            return Found::Vanished;
        int error = 0;
        const auto existing = attach(fd, path, error);
        if (existing) {
            const Found found = inspect(headerOf(existing->m_base), kind, existing->m_mappedSize);
            if (found != Found::BeingMade)
                return found;
        } else if (error != ENOENT) {
            return Found::WrongKind; // there, but not ours to replace
        }
        std::this_thread::sleep_for(5ms);
    }
    return Found::Stale;
}

std::unique_ptr<SharedSegment> SharedSegment::open(const std::string &path, Kind kind, int &error)
{
    const int fd = shm_open(path.c_str(), O_RDWR | O_CLOEXEC, 0);
    if (fd < 0) {
        error = errno;
        return nullptr;
    }
    auto segment = attach(fd, path, error);
    if (!segment)
        return nullptr;
    switch (inspect(headerOf(segment->m_base), kind, segment->m_mappedSize)) {
    case Found::Live:
        // Read once and checked again: a peer may rewrite the header.
        segment->m_payloadSize = headerOf(segment->m_base)->payloadSize;
        if (segment->m_payloadSize > segment->m_mappedSize - kPayloadOffset) {
            error = EINVAL;
            return nullptr;
        }
        segment->m_creator = creatorOf(headerOf(segment->m_base));
        segment->watchCreator();
        error = 0;
        return segment;
    case Found::WrongKind:
        error = EINVAL;
        return nullptr;
    case Found::Stale:
    case Found::BeingMade:
    case Found::Vanished:
        error = ENOENT;
        return nullptr;
    }
    return nullptr;
}

std::unique_ptr<SharedSegment> SharedSegment::create(const std::string &path, Kind kind, std::size_t payloadSize,
                                                     const std::function<void(void *)> &init, int &error)
{
    for (int attempt = 0; attempt < 4; ++attempt) {
        const int fd = shm_open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            if (ftruncate(fd, static_cast<off_t>(kPayloadOffset + payloadSize)) != 0) {
                error = errno;
                close(fd);
                shm_unlink(path.c_str());
                return nullptr;
            }
            auto segment = attach(fd, path, error);
            if (!segment) {
                shm_unlink(path.c_str());
                return nullptr;
            }
            segment->m_createdHere = true;
            const ProcessIdentity self = ProcessIdentity::self();
            segment->m_payloadSize = payloadSize;
            segment->m_creator = self;
            Header *header = new (segment->m_base) Header{kMagic, static_cast<std::uint32_t>(kind), self.pid, 0,
                                                          self.startTime, payloadSize, {0}};
            if (init)
                init(segment->payload());
            header->ready.store(1, std::memory_order_release);
            error = 0;
            return segment;
        }
        if (errno != EEXIST) {
            error = errno;
            return nullptr;
        }
        // A segment of that name exists: keep a live one, replace a stale
        // one, give one being made a moment to become ready.
        const Found found = probe(path, kind);
        if (found == Found::Live || found == Found::WrongKind) {
            error = EEXIST;
            return nullptr;
        }
        if (found == Found::Vanished)
            continue;
        shm_unlink(path.c_str());
    }
    error = EEXIST;
    return nullptr;
}

std::unique_ptr<SharedSegment> SharedSegment::createOrOpen(const std::string &path, Kind kind,
                                                           std::size_t payloadSize,
                                                           const std::function<void(void *)> &init, int &error)
{
    for (int attempt = 0; attempt < 4; ++attempt) {
        if (auto segment = open(path, kind, error))
            return segment;
        if (error != ENOENT)
            return nullptr;
        if (auto segment = create(path, kind, payloadSize, init, error))
            return segment;
        if (error != EEXIST)
            return nullptr;
    }
    return nullptr;
}

SharedSegment::~SharedSegment()
{
    // The creator takes the name with it, unless a newer segment holds it.
    if (m_createdHere) {
        const int fd = shm_open(m_path.c_str(), O_RDONLY | O_CLOEXEC, 0);
        if (fd >= 0) {
            struct stat info {};
            if (fstat(fd, &info) == 0 && info.st_dev == m_device && info.st_ino == m_inode)
                shm_unlink(m_path.c_str());
            close(fd);
        }
    }
    if (m_creatorFd >= 0)
        close(m_creatorFd);
    if (m_base)
        munmap(m_base, m_mappedSize);
    if (m_fd >= 0)
        close(m_fd);
}

void *SharedSegment::payload() const { return static_cast<char *>(m_base) + kPayloadOffset; }

std::size_t SharedSegment::currentSize() const
{
    struct stat info {};
    return fstat(m_fd, &info) == 0 && info.st_size > 0 ? static_cast<std::size_t>(info.st_size) : 0;
}

bool SharedSegment::isWhole() const
{
    const std::size_t size = currentSize();
    return size >= kPayloadOffset && size - kPayloadOffset >= m_payloadSize;
}

bool SharedSegment::isCurrent() const
{
    // glibc keeps shared-memory names as files below /dev/shm: one stat
    // instead of opening the name.
    struct stat info {};
    const std::string file = "/dev/shm" + m_path;
    if (stat(file.c_str(), &info) != 0 || info.st_dev != m_device || info.st_ino != m_inode)
        return false;
    if (m_createdHere)
        return true;
    if (m_creatorFd >= 0) {
        // A process descriptor becomes readable when its process ends.
        pollfd ended{m_creatorFd, POLLIN, 0};
        return poll(&ended, 1, 0) == 0;
    }
    return m_creator.alive();
}

// A descriptor of the creator process, so that asking whether it still runs
// costs one poll instead of reading /proc; checked again after it was taken,
// so that it cannot be of a later process with the same pid.
void SharedSegment::watchCreator()
{
    const ProcessIdentity &creator = m_creator;
    const int fd = static_cast<int>(syscall(SYS_pidfd_open, creator.pid, 0));
    if (fd < 0)
        return; // older kernel: /proc is read instead
    if (creator.alive())
        m_creatorFd = fd;
    else
        close(fd);
}

} // namespace named
