#include <atomic>

#include "Configuration/FileConfiguration.h"

namespace Configuration {

namespace {
std::atomic<IConfiguration*> testConfiguration{nullptr};
}

IConfiguration& GetConfiguration()
{
    if (IConfiguration* configuration = testConfiguration.load(std::memory_order_acquire))
        return *configuration;
    static FileConfiguration configuration;
    return configuration;
}

void SetConfigurationForTesting(IConfiguration* configuration)
{
    testConfiguration.store(configuration, std::memory_order_release);
}

}  // namespace Configuration
