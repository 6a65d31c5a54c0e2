#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace named {

class SharedSegment;

// A named block of shared memory (a file mapping with its view).
class NamedMapping
{
public:
    // error: 0, ENOENT when missing or left by an ended creator, else errno.
    static std::unique_ptr<NamedMapping> create(const std::string &name, std::size_t size, int &error);
    static std::unique_ptr<NamedMapping> open(const std::string &name, int &error);
    ~NamedMapping();

    void *data() const;
    std::size_t size() const;
    bool isCurrent() const;
    // Still of its full size; its size in bytes now.
    bool isWhole() const;
    std::size_t currentSize() const;
    // Copies count bytes to the start of the block; false, writing nothing,
    // when they do not fit or the block was cut short.
    bool write(const void *bytes, std::size_t count);

private:
    explicit NamedMapping(std::unique_ptr<SharedSegment> segment);
    std::unique_ptr<SharedSegment> m_segment;
};

} // namespace named
