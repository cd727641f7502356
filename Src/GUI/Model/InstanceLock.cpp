#include "GUI/Model/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "Platform/ProgramFolder.h"

namespace GUI::InstanceLock {

namespace {

std::string TemporaryFolder()
{
    std::string folder = "/tmp";
    if (const char* given = std::getenv("TMPDIR"); given && *given)
        folder = given;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

}  // namespace

std::string DefaultSocketPath()
{
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime == '/') {
        if (Platform::FolderProblem(runtime).empty())
            return std::string(runtime) + "/Ticova.socket";
    }
    // The temporary folder is shared: the socket goes into a folder that only this user owns.
    const std::string own = TemporaryFolder() + "/Ticova-" + std::to_string(::geteuid());
    if (::mkdir(own.c_str(), 0700) != 0 && errno != EEXIST)
        return {};
    if (!Platform::FolderProblem(own).empty())
        return {};
    return own + "/Ticova.socket";
}

std::string SocketPath(const std::string& name)
{
    return name.find('/') != std::string::npos ? name : TemporaryFolder() + '/' + name;
}

bool Held(const std::string& socketPath)
{
    if (socketPath.empty())
        return false;
    const std::string lockPath = SocketPath(socketPath) + ".lock";
    const int lock = ::open(lockPath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (lock < 0)
        return false;
    // A shared lock is refused while a copy holds its own; taken, it is given back at once.
    const bool held = ::flock(lock, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(lock);
    return held;
}

}  // namespace GUI::InstanceLock
