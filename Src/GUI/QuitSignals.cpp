#include "GUI/QuitSignals.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace GUI {

namespace {

constexpr int Signals[] = {SIGTERM, SIGINT, SIGHUP};
// The pipe's write end for the handler; -1 while no object is installed.
std::atomic<int> writeEnd{-1};
int readEnd = -1;
struct sigaction previous[3];

extern "C" void OnQuitSignal(int signal)
{
    // Only async-signal-safe calls here: one byte naming the signal.
    const int savedErrno = errno;
    const int fd = writeEnd.load(std::memory_order_relaxed);
    if (fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(signal);
        [[maybe_unused]] ssize_t written = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

}  // namespace

QuitSignals::QuitSignals(std::function<void(int signal)> onSignal) : _onSignal(std::move(onSignal))
{
    int fds[2];
    if (writeEnd.load() >= 0 || ::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    readEnd = fds[0];
    writeEnd.store(fds[1]);
    struct sigaction action {};
    action.sa_handler = &OnQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i)
        sigaction(Signals[i], &action, &previous[i]);
    _notifier = new QSocketNotifier(readEnd, QSocketNotifier::Read, this);
    connect(_notifier, &QSocketNotifier::activated, this, [this] { Drain(); });
    _installed = true;
}

QuitSignals::~QuitSignals()
{
    if (!_installed)
        return;
    for (int i = 0; i < 3; ++i)
        sigaction(Signals[i], &previous[i], nullptr);
    delete _notifier;
    const int fd = writeEnd.exchange(-1);
    ::close(fd);
    ::close(readEnd);
    readEnd = -1;
}

void QuitSignals::Drain()
{
    unsigned char bytes[16];
    ssize_t count;
    int last = 0;
    while ((count = ::read(readEnd, bytes, sizeof bytes)) > 0)
        last = bytes[count - 1];
    if (last != 0 && _onSignal)
        _onSignal(last);
}

}  // namespace GUI
