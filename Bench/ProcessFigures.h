#pragma once

// What the benches read of a process from /proc, and the median they print.

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace Bench {

// CPU seconds (user and system) of process `pid` so far, or -1.
inline double ProcessCpuSeconds(long pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string field;
    unsigned long long utime = 0;
    for (int i = 1; in >> field; ++i) {
        if (i == 14)
            utime = std::stoull(field);
        if (i == 15)
            return static_cast<double>(utime + std::stoull(field)) / static_cast<double>(sysconf(_SC_CLK_TCK));
    }
    return -1;
}

// A line of /proc/<process>/status in kB ("VmRSS:", "VmHWM:"); `process` is a pid or "self".
inline long StatusKb(const std::string& process, const char* key)
{
    std::ifstream in("/proc/" + process + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0)
            return std::atol(line.c_str() + std::char_traits<char>::length(key));
    return 0;
}

inline double Median(std::vector<double> values)
{
    if (values.empty())
        return NAN;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace Bench
