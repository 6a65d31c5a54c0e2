#include "platform/named_objects/named_mapping.h"

#include "platform/named_objects/object_name.h"
#include "platform/named_objects/shared_segment.h"

#include <cstring>

namespace named {

namespace {
constexpr const char *kKind = "mapping";
}

NamedMapping::NamedMapping(std::unique_ptr<SharedSegment> segment) : m_segment(std::move(segment)) {}
NamedMapping::~NamedMapping() = default;

std::unique_ptr<NamedMapping> NamedMapping::create(const std::string &name, std::size_t size, int &error)
{
    auto segment = SharedSegment::create(objectPath(name, kKind), SharedSegment::Kind::Mapping, size,
                                         [size](void *data) { std::memset(data, 0, size); }, error);
    if (!segment)
        return nullptr;
    return std::unique_ptr<NamedMapping>(new NamedMapping(std::move(segment)));
}

std::unique_ptr<NamedMapping> NamedMapping::open(const std::string &name, int &error)
{
    auto segment = SharedSegment::open(objectPath(name, kKind), SharedSegment::Kind::Mapping, error);
    if (!segment)
        return nullptr;
    return std::unique_ptr<NamedMapping>(new NamedMapping(std::move(segment)));
}

void *NamedMapping::data() const { return m_segment->payload(); }
std::size_t NamedMapping::size() const { return m_segment->payloadSize(); }
bool NamedMapping::isCurrent() const { return m_segment->isCurrent(); }
bool NamedMapping::isWhole() const { return m_segment->isWhole(); }
std::size_t NamedMapping::currentSize() const { return m_segment->currentSize(); }

bool NamedMapping::write(const void *bytes, std::size_t count)
{
    if (count > size() || !isWhole())
        return false;
    std::memcpy(data(), bytes, count);
    return true;
}

} // namespace named
