#pragma once

#include <QObject>
#include <QPointer>
#include <atomic>

#include "Core/IBeatFlash.h"

class QAction;
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
// metronome leaves the bars silent that the window asks for.
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
    void Open();

    Core::IBeatFlash& _flash;
    Core::IMetronome& _metronome;
    QWidget* _window;
    QAction* _item = nullptr;
    QPointer<CoachDialog> _dialog;
    PracticeRecorder* _practice = nullptr;
    std::atomic<bool> _listening{false};
    int _bar = -1;  // the timer thread's count of bars begun
};

}  // namespace GUI
