// Any bytes as a shared object another process left under one of our names,
// then cut short to any size once opened: refused or used, never a crash
// (touching memory past the object's end would end the process with SIGBUS).
//   byte 0: the kind (mapping, mutex, event); bit 7 names this process as
//           the creator, so that a header can read as live
//   byte 1: the size, in 8-byte steps, the object is cut to after opening
//   rest:   the object's bytes
#include "platform/named_objects/named_event.h"
#include "platform/named_objects/named_mapping.h"
#include "platform/named_objects/named_mutex.h"
#include "platform/named_objects/object_name.h"
#include "platform/named_objects/process_identity.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

const char *const kKinds[] = {"mapping", "mutex", "event"};

void cutTo(const std::string &path, long size)
{
    const int fd = shm_open(path.c_str(), O_RDWR | O_CLOEXEC, 0);
    if (fd < 0)
        return;
    if (ftruncate(fd, size) != 0)
        std::abort();
    close(fd);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool prefixed = [] {
        setenv(named::kPrefixVariable, ("fuzz" + std::to_string(getpid()) + "_").c_str(), 1);
        return true;
    }();
    (void)prefixed;
    if (size < 2)
        return 0;
    const int kind = (data[0] & 0x7f) % 3;
    const long cut = long(data[1]) * 8;
    std::vector<uint8_t> bytes(data + 2, data + size);
    if (data[0] & 0x80 && bytes.size() >= 24) {
        const named::ProcessIdentity self = named::ProcessIdentity::self();
        std::memcpy(&bytes[8], &self.pid, sizeof self.pid);
        std::memcpy(&bytes[16], &self.startTime, sizeof self.startTime);
    }
    // An event half made (too short, or not flagged ready) is waited for
    // 100 ms before it is replaced: that path only slows the search down.
    if (kind == 2 && (bytes.size() < 64 || (bytes[32] | bytes[33] | bytes[34] | bytes[35]) == 0))
        return 0;
    const std::string path = named::objectPath("Fuzzed", kKinds[kind]);
    const int fd = shm_open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        std::abort();
    if (!bytes.empty() && write(fd, bytes.data(), bytes.size()) != ssize_t(bytes.size()))
        std::abort();
    close(fd);

    int error = 0;
    const unsigned char record[84] = {1};
    if (kind == 0) {
        if (auto mapping = named::NamedMapping::open("Fuzzed", error)) {
            mapping->write(record, sizeof record);
            cutTo(path, cut);
            if (mapping->write(record, sizeof record) && mapping->size() < sizeof record)
                std::abort();
        }
    } else if (kind == 1) {
        if (auto mutex = named::NamedMutex::open("Fuzzed", error)) {
            cutTo(path, cut);
            const auto result = mutex->lock(std::chrono::milliseconds(0), {});
            if (result == named::NamedMutex::LockResult::Acquired || result == named::NamedMutex::LockResult::Abandoned)
                mutex->unlock();
        }
    } else if (auto event = named::NamedEvent::createOrOpen("Fuzzed", error)) {
        cutTo(path, cut);
        event->set();
        event->wait(std::chrono::milliseconds(0));
        event->reset();
    }
    shm_unlink(path.c_str());
    return 0;
}
