#include "Platform/SystemError.h"

#include "Platform/File.h"

#include <cerrno>
#include <cstring>

namespace Platform {

int LastError() noexcept
{
    return errno;
}

std::string ErrorText(int code)
{
    if (code == File::NotRegularFile)
        return "Not a regular file";
    char buffer[256] = {};
    // GNU strerror_r returns a pointer that may or may not be the buffer.
    const char* text = strerror_r(code, buffer, sizeof buffer);
    std::string result = text ? text : "";
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r'))
        result.pop_back();
    return result;
}

std::string WriteProblem(const std::string& path, int code, const char* call)
{
    return File::FolderOf(path) + ": " + ErrorText(code) + " (" + call + ")";
}

}  // namespace Platform
