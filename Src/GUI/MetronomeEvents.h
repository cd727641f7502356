#pragma once

#include <QObject>
#include <atomic>
#include <cstdint>

#include "Core/IMetronomeEventHandler.h"

namespace Configuration {
class ConfigurationData;
}

namespace Core {
class IMetronome;
}

namespace GUI {

// The one way from the metronome to a window: the handler a window starts the metronome with.
// What the metronome reports on its timer thread arrives as signals on this object's thread
// (the window's), queued; what it reports on the window's thread arrives at once. It counts the
// runs, so that a report still on its way from a run that is over does not reach the next one.
// Whether the metronome plays is asked of the metronome itself.
class MetronomeEvents final : public QObject, public Core::IMetronomeEventHandler {
    Q_OBJECT
public:
    explicit MetronomeEvents(QObject* parent = nullptr);

    // Starts `metronome` with this object as its handler, as a new run; returns its start code.
    std::int32_t Start(Core::IMetronome& metronome, Configuration::ConfigurationData& settings);

    void OnSpeedTrainerStarted(std::int32_t tempo, bool hasWarmUp) override;
    void OnTimerEvent(std::int32_t events, std::int32_t tempo, Core::Moment heardAt) override;
    void OnStopped(std::int32_t tempo) override;
    void OnError(std::int32_t messageId) override;
    void OnContinued(std::int32_t tag, std::int32_t tempo, Core::Moment heardAt) override;

signals:
    // Inside Start: the speed trainer plays and owns the tempo, starting at `tempo`.
    void SpeedTrainerStarted(int tempo);
    // The speed trainer moved the tempo of the current run.
    void TrainerTempo(int tempo);
    // The current run ended: Stop, or the metronome stopped itself.
    void Stopped(int tempo);
    // Right after Stopped: the run ended because it played the bars it was given.
    void BarLimitReached();
    // A run given to the metronome's Continue took over from the one before, within the
    // current run: `tag` as given there, `tempo` its first.
    void Continued(int tag, int tempo);
    // A click failed and the metronome stopped itself (also told for a run over since: the
    // failure is worth a message all the same).
    void Failed(int messageId);
    // On the TIMER THREAD, at every tick with a sub-step: for a receiver that hands the tick on
    // without waiting, connected with Qt::DirectConnection. heardAt: when the tick is heard.
    void SubStepTick(Core::Moment heardAt);

    // The hand-over to this object's thread; for this object only.
    void TempoReported(quint32 run, int tempo, QPrivateSignal);
    void StopReported(quint32 run, int tempo, QPrivateSignal);
    void ErrorReported(int messageId, QPrivateSignal);
    void ContinueReported(quint32 run, int tag, int tempo, QPrivateSignal);

private:
    std::atomic<quint32> _run{0};
    // The run that reported its bars played (its stop follows).
    std::atomic<quint32> _barsPlayedRun{0};
};

}  // namespace GUI
