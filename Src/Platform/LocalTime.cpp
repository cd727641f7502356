#include "Platform/LocalTime.h"

#include <ctime>

namespace Platform {

LocalTime LocalTime::Now() noexcept
{
    std::time_t now = std::time(nullptr);
    std::tm parts{};
    localtime_r(&now, &parts);
    return LocalTime{parts.tm_mday, parts.tm_mon + 1, parts.tm_year + 1900, parts.tm_hour, parts.tm_min, parts.tm_sec};
}

}  // namespace Platform
