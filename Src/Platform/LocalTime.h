#pragma once

namespace Platform {

struct LocalTime {
    int Day;    // 1..31
    int Month;  // 1..12
    int Year;   // four digits
    int Hour;   // 0..23
    int Minute;
    int Second;

    static LocalTime Now() noexcept;
};

}  // namespace Platform
