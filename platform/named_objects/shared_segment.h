#pragma once

#include "platform/named_objects/process_identity.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>

namespace named {

// One named shared-memory segment: a header (kind, creator, ready flag)
// followed by the object's payload. A segment whose creator has ended reads
// as not found, as a kernel object vanishes with the processes that hold it;
// its creator removes the name when it closes the segment.
class SharedSegment
{
public:
    enum class Kind : unsigned { Mapping = 1, Mutex = 2, Event = 3 };
    // What a name holds when a creator finds it taken.
    enum class Found { Live, Stale, BeingMade, WrongKind, Vanished };

    // Error codes are errno values; ENOENT means "not found".
    static std::unique_ptr<SharedSegment> open(const std::string &path, Kind kind, int &error);
    // A new segment; a stale one of that name is replaced, a live one gives
    // EEXIST. init prepares the payload before anyone can open it.
    static std::unique_ptr<SharedSegment> create(const std::string &path, Kind kind, std::size_t payloadSize,
                                                 const std::function<void(void *)> &init, int &error);
    // The live segment of that name, else a new one.
    static std::unique_ptr<SharedSegment> createOrOpen(const std::string &path, Kind kind, std::size_t payloadSize,
                                                       const std::function<void(void *)> &init, int &error);
    ~SharedSegment();
    SharedSegment(const SharedSegment &) = delete;
    SharedSegment &operator=(const SharedSegment &) = delete;

    void *payload() const;
    // As the header said when the segment was opened: a header rewritten
    // since is never believed.
    std::size_t payloadSize() const { return m_payloadSize; }
    // Whether the object still holds its header and payload. Another
    // process may shrink it at any time, and touching memory past its end
    // kills this process (SIGBUS): every use checks this first.
    bool isWhole() const;
    // The object's size in bytes now (0 when it cannot be read).
    std::size_t currentSize() const;
    const std::string &path() const { return m_path; }
    // True while its creator runs and the name still names this segment
    // (not a newer one made after a restart of the creator).
    bool isCurrent() const;
    bool createdHere() const { return m_createdHere; }

private:
    SharedSegment() = default;
    static Found probe(const std::string &path, Kind kind);
    static std::unique_ptr<SharedSegment> attach(int fd, const std::string &path, int &error);
    void watchCreator();

    std::string m_path;
    int m_fd = -1;
    void *m_base = nullptr;
    std::size_t m_mappedSize = 0;
    std::size_t m_payloadSize = 0;
    ProcessIdentity m_creator{};
    dev_t m_device = 0;
    ino_t m_inode = 0;
    bool m_createdHere = false;
    int m_creatorFd = -1; // pidfd of the creator, when not this process
};

} // namespace named
