#include "GUI/CommandQueue.h"

#include <QMetaObject>

namespace GUI {

void CommandQueue::Post(std::function<void()> command)
{
    _pending.push_back(std::move(command));
    // While a command runs, the loop below takes the new one when that command returns.
    if (_running || _scheduled)
        return;
    _scheduled = true;
    QMetaObject::invokeMethod(this, &CommandQueue::RunPending, Qt::QueuedConnection);
}

void CommandQueue::RunPending()
{
    _scheduled = false;
    if (_running)
        return;
    _running = true;
    while (!_pending.empty()) {
        const std::function<void()> command = std::move(_pending.front());
        _pending.pop_front();
        command();
    }
    _running = false;
}

}  // namespace GUI
