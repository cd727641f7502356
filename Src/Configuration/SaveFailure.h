#pragma once

#include <string>

namespace Configuration {

// Why the last save of a settings file failed: the error number and the call, kept for telling
// the user. No error: the last save succeeded (or none was made).
struct SaveFailure {
    int error = 0;
    const char* call = "";

    void Clear() noexcept { *this = {}; }
    void Note(int code, const char* what) noexcept
    {
        error = code;
        call = what;
    }
    // For the user: the folder of `path` and the reason (the data folder's problem when there is
    // no path); empty when the last save succeeded.
    std::string Problem(const std::string& path) const;
};

}  // namespace Configuration
