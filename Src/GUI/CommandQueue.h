#pragma once

#include <QObject>
#include <deque>
#include <functional>

namespace GUI {

// Commands that come from outside the window (another copy of Ticova, the session bus, media
// keys) are carried out here, from the event loop, one at a time, never inside the handler
// that received them: such a command may open a message box, and a box's event loop inside a
// socket's handler lets the socket be deleted under that handler. A command that arrives while
// another one's box is open waits until that command has returned.
class CommandQueue final : public QObject {
    Q_OBJECT
public:
    explicit CommandQueue(QObject* parent = nullptr) : QObject(parent) {}

    void Post(std::function<void()> command);
    // Drops the commands not yet carried out (the window they act on is going).
    void Clear() { _pending.clear(); }
    // Whether a command is being carried out now (its message box may be open).
    bool Busy() const { return _running; }

private:
    void RunPending();

    std::deque<std::function<void()>> _pending;
    bool _running = false;
    bool _scheduled = false;
};

}  // namespace GUI
