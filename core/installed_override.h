#pragma once

#include <atomic>

namespace spoolsmith {

// A platform service that a test may replace: the installed one while there
// is one, else the platform's own. The installed object must outlive its use.
template <typename Service>
class InstalledOverride
{
public:
    Service &get(Service &platform) const
    {
        Service *installed = m_installed.load();
        return installed ? *installed : platform;
    }
    void install(Service *service) { m_installed.store(service); }

private:
    std::atomic<Service *> m_installed{nullptr};
};

} // namespace spoolsmith
