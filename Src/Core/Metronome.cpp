#include "Core/Metronome.h"

#include <utility>

#include "Configuration/ConfigurationData.h"
#include "Core/BeatsPerBarMetronomeStrategy.h"
#include "Core/CustomPatternMetronomeStrategy.h"
#include "Core/CustomRhythmMetronomeStrategy.h"
#include "Core/CustomText.h"
#include "Core/IBeatIndicator.h"
#include "Core/IMetronomeEventHandler.h"
#include "Core/MidiSoundEngine.h"
#include "Core/OutputClock.h"
#include "Core/ISoundEngine.h"
#include "Core/PercussionTable.h"
#include "Core/SettingsRange.h"
#include "Core/SimpleBeatMetronomeStrategy.h"
#include "Core/SoundEngines.h"
#include "Core/SpeedTrainerTimerStrategy.h"
#include "Core/StandardTimerStrategy.h"
#include "Core/StepSequencerTimerStrategy.h"
#include "Core/Timer.h"
#include "Core/TrainerCurveSelection.h"
#include "System/ILog.h"

namespace Core {

namespace {

// Stands in for the visual beat indicator when the GUI has installed none.
class NoBeatIndicator final : public IBeatIndicator {
public:
    void Prepare(const Configuration::ConfigurationData&) override {}
    void Show(int, Moment) override {}
    void ShowCount(int, Moment) override {}
    void Hide() override {}
};

NoBeatIndicator noBeatIndicator;

// The strategies every start chooses from: one of each, for the life of the program.
struct Strategies {
    SimpleBeatMetronomeStrategy simpleBeat;
    BeatsPerBarMetronomeStrategy beatsPerBar;
    CustomPatternMetronomeStrategy customPattern;
    CustomRhythmMetronomeStrategy customRhythm;
    StandardTimerStrategy standard;
    SpeedTrainerTimerStrategy speedTrainer;
    StepSequencerTimerStrategy stepSequencer;
};

Strategies& TheStrategies()
{
    static Strategies strategies;
    return strategies;
}

MetronomeStrategy* BeatStrategyFor(std::uint32_t beatType)
{
    Strategies& s = TheStrategies();
    switch (beatType) {
    case 0:
        return &s.simpleBeat;
    case 1:
        return &s.beatsPerBar;
    case 2:
        return &s.customPattern;
    case 3:
        return &s.customRhythm;
    default:
        return nullptr;
    }
}

ITimerStrategy* TimerStrategyFor(std::uint32_t speedTrainer)
{
    Strategies& s = TheStrategies();
    if (speedTrainer == 0)
        return &s.standard;
    if (speedTrainer == 5)
        return &s.stepSequencer;
    return &s.speedTrainer;
}


}  // namespace

Metronome::Metronome() : Metronome(Timer::Instance())
{
    _outputClock = &OutputClock::Instance();
}

Metronome::Metronome(Timer& timer) : _timer(timer), _indicator(&noBeatIndicator)
{
    // Made now, so that they outlive this metronome.
    TheStrategies();
}

Metronome::~Metronome()
{
    // Nothing may tick into objects that are going away.
    _timer.Stop();
    _timer.Join();
}

Metronome& Metronome::Instance()
{
    // The engines and the timer are made first so that they are destroyed after the metronome,
    // which stops the timer as it goes.
    SoundEngines::Get(SoundEngines::Midi);
    static Metronome metronome;
    return metronome;
}

void Metronome::SetBeatIndicator(IBeatIndicator* indicator) noexcept
{
    _indicator = indicator != nullptr ? indicator : &noBeatIndicator;
}

bool Metronome::IsRunning() const noexcept
{
    return _timer.IsRunning();
}

std::int32_t Metronome::Start(IMetronomeEventHandler& handler, Configuration::ConfigurationData& settings)
{
    if (_timer.IsRunning()) {
        // A second worker would tick the same strategy objects at the same time.
        System::Log().Write(System::Error, "Core::Metronome::Start called while the metronome plays; start refused");
        return TimerNotStarted;
    }
    // A worker that ended by itself (the trainer's end, a failed click) may still be finishing
    // its last tick: it must be done before its objects are prepared again.
    _timer.Join();
    const std::int32_t barLimit = std::exchange(_barLimit, 0);

    MetronomeStrategy* strategy = BeatStrategyFor(settings.BeatType);
    if (strategy == nullptr)
        return BadBeatType;
    _strategy = strategy;
    strategy->SetTimer(&_timer);

    ISoundEngine* engine = _standIns.engine != nullptr ? _standIns.engine : SoundEngines::Get(settings.SoundEngineType);
    strategy->SetSoundEngine(engine);
    if (engine == nullptr) {
        System::Log().Write(System::Error, "Core::Metronome::Start: no sound engine of type %u",
                            static_cast<unsigned>(settings.SoundEngineType));
        return SoundEngineFailed;
    }
    if (!engine->Initialise(settings))
        return SoundEngineFailed;

    strategy->SetHandler(&handler);

    const bool visual = settings.VisualIndicator == 1;
    strategy->SetIndicator(_indicator);
    strategy->SetVisual(visual);
    strategy->SetFlash(_flash);
    strategy->SetMuted(_muted);
    strategy->SetBarLimit(barLimit);
    if (visual)
        _indicator->Prepare(settings);

    strategy->ResetPosition();
    strategy->SetUserTempo(static_cast<std::int32_t>(SettingsRange::Bpm(settings)));
    strategy->SetWarmUp(settings.Warmup > 0.0f);
    strategy->SetBeep(settings.Beep == 1);

    strategy->SetVolumes(settings.Volume, settings.GlobalVolume);
    const bool midi = settings.SoundEngineType == SoundEngines::Midi;
    for (int voice = 0; voice < NumVoices; ++voice) {
        const std::uint32_t instrument = settings.Instrument[voice];
        _instruments[voice] = instrument;
        strategy->SetSound(voice, midi ? PercussionTable::Note(instrument) : static_cast<std::int32_t>(instrument));
    }

    std::int32_t secondary = 0;
    bool compound = false;
    if (settings.BeatType == 2) {
        if (const std::int32_t code = CustomText::ValidatePlayablePattern(settings.CustomPattern))
            return Fail(code);
    }
    if (const std::int32_t code = strategy->CreatePattern(settings, settings.TicksPerBeat, secondary, compound))
        return Fail(code);
    if (secondary != 0)
        settings.TicksPerBeat *= secondary;

    ITimerStrategy* timing = TimerStrategyFor(settings.SpeedTrainer);
    if (timing == nullptr)
        return Fail(NoTimerStrategy);
    strategy->SetTimerStrategy(timing);

    // The trainer and the count-in count a compound bar in its dotted beats.
    std::int32_t beatsPerBar = strategy->GetBeatsPerBar(settings);
    _barBeats = compound ? beatsPerBar / 3.0 : beatsPerBar;
    if (compound)
        beatsPerBar = (beatsPerBar + 2) / 3;
    if (settings.SpeedTrainer != 0) {
        settings.TrainerCurve = &SelectTrainerCurve(settings);
        if (settings.DurationsInBars != 0)
            settings.TrainerBeatsPerBar = beatsPerBar;
    }

    timing->Initialise(settings);
    PrepareCountIn(settings, beatsPerBar);
    // Every sound the run plays needs its audio file: checked now, not at its first click.
    _soundWithoutFile = -1;
    std::uint32_t voices = strategy->VoicesUsed();
    if (settings.SpeedTrainer != 0 && settings.Beep == 1)
        voices |= 1u << MetronomeStrategy::BeepVoice;
    if (strategy->CountInTicksLeft() > 0)
        voices |= 1u << MetronomeStrategy::CountInVoice;
    for (int voice = 0; voice < NumVoices; ++voice) {
        if ((voices & (1u << voice)) != 0 && !engine->CanPlay(strategy->Sound(voice))) {
            _soundWithoutFile = voice;
            System::Log().Write(System::Error, "Sound %d plays audio file %d, which is not set; the metronome does "
                                               "not start", voice + 1, strategy->Sound(voice) + 1);
            return Fail(SoundHasNoFile);
        }
    }
    if (timing->ControlsTempo())
        handler.OnSpeedTrainerStarted(timing->GetTempo(), strategy->HasWarmUp());

    if (!_timer.Start(strategy, timing->GetInterval(), TimerClock()))
        return Fail(TimerNotStarted);
    _paused = false;
    return Playing;
}

void Metronome::PrepareCountIn(const Configuration::ConfigurationData& settings, std::int32_t beatsPerBar)
{
    const std::int32_t beats = _countIn.Beats(beatsPerBar);
    const std::int32_t volume = MetronomeStrategy::ScaledVolume(_countIn.volume, settings.GlobalVolume);
    // The MIDI engine plays the count-in's own instrument, rendered now like every voice's; the
    // audio-file engine has no such choice and counts in with the second voice's file.
    std::int32_t sound = _strategy->Sound(MetronomeStrategy::CountInVoice);
    if (settings.SoundEngineType == SoundEngines::Midi) {
        sound = PercussionTable::Note(_countIn.instrument);
        if (auto* midi = dynamic_cast<MidiSoundEngine*>(_strategy->GetSoundEngine()); midi != nullptr && beats > 0)
            midi->PrepareNote(sound, volume);
    }
    ITimerStrategy* timing = _strategy->GetTimerStrategy();
    const std::int32_t ticksPerBeat = timing->TimerTicksPerBeat();
    _strategy->SetCountIn(beats, ticksPerBeat, beatsPerBar, sound, volume);
    _countInLength = timing->GetInterval() * static_cast<double>(beats * ticksPerBeat);
}

Timer::IClock* Metronome::TimerClock() const noexcept
{
    // The output's frames are the clock while it runs; without it (a test's engine), the
    // timer's own clock.
    if (_standIns.clock != nullptr)
        return _standIns.clock;
    return _outputClock != nullptr && _outputClock->Available() ? _outputClock : nullptr;
}

std::int32_t Metronome::Fail(std::int32_t code) noexcept
{
    // Nothing plays after a failed start, so the output opened for it is closed again; the
    // settings and the chosen strategy stay as they were prepared.
    if (ISoundEngine* engine = _strategy->GetSoundEngine())
        engine->Close();
    return code;
}

void Metronome::StopOutput() noexcept
{
    if (ISoundEngine* engine = _strategy->GetSoundEngine())
        engine->Close();
    if (_strategy->IsVisual())
        _strategy->GetIndicator()->Hide();
}

void Metronome::Stop()
{
    if (_strategy == nullptr)
        return;
    _timer.Stop();
    _timer.Join();
    _paused = false;
    StopOutput();
    const std::int32_t tempo = _strategy->UserTempo();
    if (tempo != 0 && _strategy->GetHandler() != nullptr)
        _strategy->GetHandler()->OnStopped(tempo);
}

void Metronome::TogglePause()
{
    if (_strategy == nullptr)
        return;
    if (_timer.IsRunning()) {
        // The output stays open and nobody is told: playing goes on where it stopped.
        _timer.Stop();
        _timer.Join();
        _paused = true;
        if (_strategy->IsVisual())
            _strategy->GetIndicator()->Show(-1, Moment());
        return;
    }
    if (!_paused)
        return;  // stopped, not paused: nothing to resume
    _paused = false;
    ITimerStrategy* timing = _strategy->GetTimerStrategy();
    if (timing != nullptr)
        _timer.Start(_strategy, timing->GetInterval(), TimerClock());  // a thread that cannot start is logged there
}

void Metronome::SetTempo(std::int32_t bpm)
{
    if (_strategy == nullptr)
        return;
    ITimerStrategy* timing = _strategy->GetTimerStrategy();
    if (timing == nullptr || timing->ControlsTempo())
        return;  // the speed trainer owns the tempo
    timing->SetTempo(bpm);
    // The tempo reported at the stop is the one played, brought into range as the strategy did.
    _strategy->SetUserTempo(timing->GetTempo());
    _timer.SetInterval(timing->GetInterval());
}

void Metronome::SetMuted(bool muted)
{
    _muted = muted;
    if (_strategy != nullptr)
        _strategy->SetMuted(muted);
}

void Metronome::SetVolumes(const std::uint32_t (&volumes)[NumVoices], std::uint32_t globalVolume)
{
    if (_strategy == nullptr)
        return;
    _strategy->SetVolumes(volumes, globalVolume);
    // The MIDI engine plays sounds rendered ahead of time, one for each note and velocity; one
    // not rendered yet would be rendered at the click and heard late. Render the new ones now.
    if (auto* midi = dynamic_cast<MidiSoundEngine*>(_strategy->GetSoundEngine())) {
        Configuration::ConfigurationData sounds;
        for (int voice = 0; voice < NumVoices; ++voice) {
            sounds.Instrument[voice] = _instruments[voice];
            sounds.Volume[voice] = volumes[voice];
        }
        sounds.GlobalVolume = globalVolume;
        midi->PrepareSounds(sounds);
    }
}

}  // namespace Core
