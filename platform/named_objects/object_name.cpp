#include "platform/named_objects/object_name.h"

#include <cstdlib>

namespace named {

std::string objectPath(const std::string &name, const char *kind)
{
    const char *prefix = std::getenv(kPrefixVariable);
    std::string path = "/";
    path += prefix ? prefix : "";
    path += name;
    path += '.';
    path += kind;
    for (std::size_t i = 1; i < path.size(); ++i) {
        if (path[i] == '/' || path[i] == '\\')
            path[i] = '_';
    }
    return path;
}

} // namespace named
