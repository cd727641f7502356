#pragma once

#include <QObject>
#include <QPointer>
#include <atomic>
#include <memory>

#include "Core/IBeatFlash.h"
#include "Platform/LockFreeQueue.h"

class QAction;
class QTimer;
class QMenu;
class QWidget;

namespace Core {
class IMetronome;
}

namespace GUI {

class CoachDialog;
class PracticeRecorder;

// The timing coach in the main window: its item in Tools, and the beats of the runs. The
// metronome tells this object every click (it stands before the big flash and passes each one
// on); while the coach's window is open, the beats go on to it on the window's thread, and the
// metronome leaves the bars silent that the window asks for. The timer thread queues each beat
// without a lock or an allocation; the window's thread takes them every few milliseconds.
class CoachControl final : public QObject, public Core::IBeatFlash {
    Q_OBJECT
public:
    CoachControl(Core::IBeatFlash& flash, Core::IMetronome& metronome, QWidget* window);
    ~CoachControl() override;

    void Place(QMenu* tools);
    void ApplyTexts();
    // The practice log: each run that ends with the coach open takes its take's timing along,
    // and the coach shows the log's days.
    void Attach(PracticeRecorder& practice);
    // On the timer thread: must not block.
    void Pulse(const Core::BeatPulse& pulse) noexcept override;

private:
    struct Beat {
        qint64 heardNs = 0;
        int beat = 0, beats = 0, bar = 0, subdivisions = 1;
        bool silent = false;
    };
    static constexpr int DrainMs = 10;

    void Open();
    void Drain();

    Core::IBeatFlash& _flash;
    Core::IMetronome& _metronome;
    QWidget* _window;
    QAction* _item = nullptr;
    QPointer<CoachDialog> _dialog;
    PracticeRecorder* _practice = nullptr;
    QTimer* _drain = nullptr;
    std::unique_ptr<Platform::LockFreeQueue<Beat, 256>> _beats;
    std::atomic<bool> _listening{false};
    int _bar = -1;  // the timer thread's count of bars begun
};

}  // namespace GUI
