#pragma once

#include <string>

namespace named {

// The environment variable whose value goes before every object name, so
// that parallel runs (tests) never meet each other's objects.
inline constexpr const char *kPrefixVariable = "SPOOLSMITH_NAMED_PREFIX";

// The shared-memory name of object `name` of the given kind ("mutex",
// "mapping", "event"): the kinds get names of their own, and characters a
// shared-memory name cannot hold become '_'.
std::string objectPath(const std::string &name, const char *kind);

} // namespace named
