#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace GUI {

// Turns SIGTERM, SIGINT and SIGHUP (logout, shut-down, Ctrl+C in a terminal) into a call on the
// GUI thread, so that the program can quit as Exit does and keep its settings. The handler only
// writes one byte into a pipe; a socket notifier on the GUI thread reads it and calls back.
// One object at a time; its destructor puts the previous dispositions back.
class QuitSignals final : public QObject {
    Q_OBJECT
public:
    explicit QuitSignals(std::function<void(int signal)> onSignal);
    ~QuitSignals() override;
    QuitSignals(const QuitSignals&) = delete;
    QuitSignals& operator=(const QuitSignals&) = delete;

    // False when the pipe or the handlers could not be set up (the signals then end the
    // program as they would without this object).
    bool Installed() const { return _installed; }

private:
    void Drain();

    std::function<void(int)> _onSignal;
    QSocketNotifier* _notifier = nullptr;
    bool _installed = false;
};

}  // namespace GUI
