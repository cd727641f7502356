#include "GUI/MetronomeEvents.h"

#include "Core/IMetronome.h"

namespace GUI {

MetronomeEvents::MetronomeEvents(QObject* parent) : QObject(parent)
{
    // Automatic connections: queued when reported on the timer thread, at once on this one.
    connect(this, &MetronomeEvents::TempoReported, this, [this](quint32 run, int tempo) {
        if (run == _run.load(std::memory_order_acquire))
            emit TrainerTempo(tempo);
    });
    connect(this, &MetronomeEvents::StopReported, this, [this](quint32 run, int tempo) {
        if (run != _run.load(std::memory_order_acquire))
            return;
        emit Stopped(tempo);
        if (run == _barsPlayedRun.load(std::memory_order_acquire))
            emit BarLimitReached();
    });
    connect(this, &MetronomeEvents::ErrorReported, this, [this](int messageId) { emit Failed(messageId); });
    connect(this, &MetronomeEvents::ContinueReported, this, [this](quint32 run, int tag, int tempo) {
        if (run == _run.load(std::memory_order_acquire))
            emit Continued(tag, tempo);
    });
}

std::int32_t MetronomeEvents::Start(Core::IMetronome& metronome, Configuration::ConfigurationData& settings)
{
    _run.fetch_add(1, std::memory_order_acq_rel);
    return metronome.Start(*this, settings);
}

void MetronomeEvents::OnSpeedTrainerStarted(std::int32_t tempo, bool)
{
    emit SpeedTrainerStarted(tempo);
}

void MetronomeEvents::OnTimerEvent(std::int32_t events, std::int32_t tempo, Core::Moment heardAt)
{
    if (events & BarsPlayed)
        _barsPlayedRun.store(_run.load(std::memory_order_acquire), std::memory_order_release);
    if (events & SubStep)
        emit SubStepTick(heardAt);
    // A song's bars report the tempo heard there, as the trainer's stages do.
    if (events & (TempoChanged | SongBar))
        emit TempoReported(_run.load(std::memory_order_acquire), tempo, QPrivateSignal());
}

void MetronomeEvents::OnStopped(std::int32_t tempo)
{
    emit StopReported(_run.load(std::memory_order_acquire), tempo, QPrivateSignal());
}

void MetronomeEvents::OnError(std::int32_t messageId)
{
    emit ErrorReported(messageId, QPrivateSignal());
}

void MetronomeEvents::OnContinued(std::int32_t tag, std::int32_t tempo, Core::Moment)
{
    emit ContinueReported(_run.load(std::memory_order_acquire), tag, tempo, QPrivateSignal());
}

}  // namespace GUI
