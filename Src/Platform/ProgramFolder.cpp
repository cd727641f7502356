#include "Platform/ProgramFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>

namespace Platform {

namespace {

std::mutex overrideMutex;
std::string overrideFolder;

std::string WithSlash(std::string folder)
{
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

bool MakeFolders(const std::string& folder)
{
    for (std::size_t at = 1; at < folder.size(); ++at) {
        if (folder[at] != '/')
            continue;
        std::string part = folder.substr(0, at);
        if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

}  // namespace

std::string ProgramFolder()
{
    char path[PATH_MAX + 1] = {};
    ssize_t length = ::readlink("/proc/self/exe", path, PATH_MAX);
    if (length <= 0)
        return "./";
    std::string full(path, static_cast<std::size_t>(length));
    return full.substr(0, full.rfind('/') + 1);
}

std::string DataFolderFor(const std::string& programFolder)
{
    if (::access(programFolder.c_str(), W_OK) == 0)
        return WithSlash(programFolder);
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/')
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::string(home) + "/.config";
    else
        base = "/tmp";
    std::string own = WithSlash(base) + "Ticova/";
    MakeFolders(own);
    return own;
}

std::string DataFolder()
{
    {
        std::lock_guard lock(overrideMutex);
        if (!overrideFolder.empty())
            return overrideFolder;
    }
    static const std::string folder = DataFolderFor(ProgramFolder());
    return folder;
}

std::string DataFile(const std::string& name)
{
    return DataFolder() + name;
}

void SetDataFolderForTesting(const std::string& folder)
{
    std::lock_guard lock(overrideMutex);
    overrideFolder = folder.empty() ? std::string() : WithSlash(folder);
}

}  // namespace Platform
