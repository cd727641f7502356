#include "Support/PrivateNetwork.h"

#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace TestSupport {

namespace {
constexpr int NoNamespace = 77;
constexpr const char* Inside = "TICOVA_PRIVATE_NETWORK";
}  // namespace

bool EnterPrivateNetwork(std::string& why)
{
    if (unshare(CLONE_NEWNET) != 0) {
        why = std::string("no private network namespace here (unshare: ") + std::strerror(errno) + ")";
        return false;
    }
    if (std::system("ip link set lo up && ip link set lo multicast on && ip route add 224.0.0.0/4 dev lo") != 0) {
        why = "the private network namespace's loopback could not be set up (ip)";
        return false;
    }
    return true;
}

int InPrivateNetwork(const std::function<int()>& body, std::string& skipped)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        skipped = "no pipe";
        return 0;
    }
    const pid_t child = fork();
    if (child < 0) {
        skipped = "no child process";
        return 0;
    }
    if (child == 0) {
        close(pipeFds[0]);
        std::string why;
        if (!EnterPrivateNetwork(why)) {
            (void)!write(pipeFds[1], why.data(), why.size());
            _exit(NoNamespace);
        }
        close(pipeFds[1]);
        _exit(body());
    }
    close(pipeFds[1]);
    char reason[256] = {};
    const ssize_t got = read(pipeFds[0], reason, sizeof reason - 1);
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == NoNamespace) {
        skipped = got > 0 ? std::string(reason, static_cast<std::size_t>(got)) : "no private network namespace";
        return 0;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int RerunInPrivateNetwork(const std::string& filter, std::string& skipped)
{
    return InPrivateNetwork(
        [&filter] {
            ::setenv(Inside, "1", 1);
            char self[4096] = {};
            if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0)
                return 78;
            const std::string only = "--gtest_filter=" + filter;
            execl(self, self, only.c_str(), static_cast<char*>(nullptr));
            return 78;
        },
        skipped);
}

bool InsidePrivateNetwork()
{
    return std::getenv(Inside) != nullptr;
}

}  // namespace TestSupport
