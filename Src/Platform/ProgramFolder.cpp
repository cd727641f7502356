#include "Platform/ProgramFolder.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string_view>

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

// Creates the folder and its missing parents; the folder itself is private to the user.
bool MakeFolders(const std::string& folder)
{
    for (std::size_t at = 1; at < folder.size(); ++at) {
        if (folder[at] != '/')
            continue;
        std::string part = folder.substr(0, at);
        if (::mkdir(part.c_str(), at + 1 == folder.size() ? 0700 : 0755) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

// $variable when it holds an absolute path (XDG ignores relative ones), else $HOME/<underHome>;
// with a trailing '/'.
std::string UserFolder(const char* variable, const char* underHome)
{
    if (const char* xdg = std::getenv(variable); xdg && *xdg == '/')
        return WithSlash(xdg);
    if (const char* home = std::getenv("HOME"); home && *home)
        return WithSlash(home) + underHome + '/';
    return "/tmp/";
}

struct Chosen {
    std::string folder;
    std::string problem;
};

Chosen& Cached()
{
    static Chosen chosen = [] {
        Chosen made;
        made.folder = DataFolderFor(ProgramFolder(), &made.problem);
        return made;
    }();
    return chosen;
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

namespace {

// The user's own group of the usual "user private group" setup: named after the user, with no
// other member. A folder writable by that group is writable by the user alone.
bool IsPrivateGroup(gid_t group)
{
    const passwd* user = ::getpwuid(::geteuid());
    const ::group* entry = ::getgrgid(group);
    return user && entry && user->pw_gid == group && entry->gr_name && user->pw_name &&
        std::strcmp(entry->gr_name, user->pw_name) == 0 && (!entry->gr_mem || !entry->gr_mem[0]);
}

}  // namespace

std::string FolderProblem(const std::string& folder)
{
    struct stat status {};
    if (::stat(folder.c_str(), &status) != 0)
        return folder + ": " + std::strerror(errno);
    if (!S_ISDIR(status.st_mode))
        return folder + " is not a folder";
    if (status.st_uid != ::geteuid())
        return folder + " belongs to another user (" + std::to_string(status.st_uid) + ")";
    if ((status.st_mode & S_IWOTH) || ((status.st_mode & S_IWGRP) && !IsPrivateGroup(status.st_gid)))
        return folder + " can be written by other users";
    return {};
}

std::string DataFolderFor(const std::string& programFolder, std::string* problem)
{
    if (InstallPrefixFor(programFolder).empty() && ::access(programFolder.c_str(), W_OK) == 0 &&
        FolderProblem(programFolder).empty())
        return WithSlash(programFolder);
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') {
        base = WithSlash(xdg) + "Ticova/";
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        base = std::string(home) + "/.config/Ticova/";
    } else if (const passwd* account = ::getpwuid(::geteuid()); account && account->pw_dir && *account->pw_dir) {
        base = std::string(account->pw_dir) + "/.config/Ticova/";
    } else {
        // The shared temporary folder only in a folder of the user's own, checked below.
        base = "/tmp/Ticova-" + std::to_string(::geteuid()) + "/";
    }
    MakeFolders(base);
    std::string why = FolderProblem(base);
    if (why.empty())
        return base;
    if (problem)
        *problem = why;
    return {};
}

std::string DataFolder()
{
    {
        std::lock_guard lock(overrideMutex);
        if (!overrideFolder.empty())
            return overrideFolder;
    }
    return Cached().folder;
}

std::string DataFolderProblem()
{
    {
        std::lock_guard lock(overrideMutex);
        if (!overrideFolder.empty())
            return {};
    }
    return Cached().problem;
}

std::string DataFile(const std::string& name)
{
    const std::string folder = DataFolder();
    return folder.empty() ? std::string() : folder + name;
}

std::string InstallPrefixFor(const std::string& programFolder)
{
    const std::string folder = WithSlash(programFolder);
    constexpr std::string_view bin = "/bin/";
    if (folder.size() < bin.size() || folder.compare(folder.size() - bin.size(), bin.size(), bin) != 0)
        return {};
    std::string prefix = folder.substr(0, folder.size() - bin.size() + 1);
    struct stat info {};
    if (::stat((prefix + "share/ticova").c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return {};
    return prefix;
}

std::string SharedDataFolder()
{
    static const std::string prefix = InstallPrefixFor(ProgramFolder());
    return prefix.empty() ? ProgramFolder() : prefix + "share/ticova/";
}

std::string DocumentFolder()
{
    static const std::string prefix = InstallPrefixFor(ProgramFolder());
    return prefix.empty() ? ProgramFolder() : prefix + "share/doc/ticova/";
}

std::vector<std::string> SharedDataFolders()
{
    std::vector<std::string> folders{UserFolder("XDG_DATA_HOME", ".local/share") + "Ticova/", SharedDataFolder()};
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    std::string_view list = dirs && *dirs ? dirs : "/usr/local/share/:/usr/share/";
    while (!list.empty()) {
        const std::size_t end = std::min(list.find(':'), list.size());
        const std::string_view entry = list.substr(0, end);
        list.remove_prefix(std::min(end + 1, list.size()));
        if (entry.empty() || entry.front() != '/')
            continue;
        std::string folder = WithSlash(std::string(entry)) + "ticova/";
        bool seen = false;
        for (const std::string& known : folders)
            seen = seen || known == folder;
        if (!seen)
            folders.push_back(std::move(folder));
    }
    return folders;
}

std::string StateFolderFor(const std::string& programFolder)
{
    std::string data = DataFolderFor(programFolder);
    if (data == WithSlash(programFolder))
        return data;
    std::string own = UserFolder("XDG_STATE_HOME", ".local/state") + "Ticova/";
    MakeFolders(own);
    // A log folder others could write (the shared temporary folder, with no home) is not used.
    return FolderProblem(own).empty() ? own : data;
}

std::string StateFolder()
{
    {
        std::lock_guard lock(overrideMutex);
        if (!overrideFolder.empty())
            return overrideFolder;
    }
    static const std::string folder = StateFolderFor(ProgramFolder());
    return folder;
}

void SetDataFolderForTesting(const std::string& folder)
{
    std::lock_guard lock(overrideMutex);
    overrideFolder = folder.empty() ? std::string() : WithSlash(folder);
}

}  // namespace Platform
