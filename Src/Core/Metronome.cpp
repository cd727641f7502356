#include "Core/Metronome.h"

#include <cmath>
#include <utility>

#include "Configuration/ConfigurationData.h"
#include "Core/AudioSoundEngine.h"
#include "Core/BeatsPerBarMetronomeStrategy.h"
#include "Core/CustomPatternMetronomeStrategy.h"
#include "Core/CustomRhythmMetronomeStrategy.h"
#include "Core/CustomText.h"
#include "Core/IBeatIndicator.h"
#include "Core/IMetronomeEventHandler.h"
#include "Core/ISessionTimeline.h"
#include "Core/ISoundEngine.h"
#include "Core/MidiSoundEngine.h"
#include "Core/OutputClock.h"
#include "Core/PercussionTable.h"
#include "Core/SettingsChoices.h"
#include "Core/SettingsRange.h"
#include "Core/SimpleBeatMetronomeStrategy.h"
#include "Core/SongMetronomeStrategy.h"
#include "Core/SongTimerStrategy.h"
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

}  // namespace

// The strategies a run chooses from: one of each, for the life of the metronome, in two sets, so
// that the next run is prepared in one while the other plays.
struct Metronome::Strategies {
    SimpleBeatMetronomeStrategy simpleBeat;
    BeatsPerBarMetronomeStrategy beatsPerBar;
    CustomPatternMetronomeStrategy customPattern;
    CustomRhythmMetronomeStrategy customRhythm;
    StandardTimerStrategy standard;
    SpeedTrainerTimerStrategy speedTrainer;
    StepSequencerTimerStrategy stepSequencer;
    TrainerCurves curves;
    SongTimerStrategy songTiming;
    SongMetronomeStrategy song{songTiming};
};

namespace {

using Strategies = Metronome::Strategies;

MetronomeStrategy* BeatStrategyFor(Strategies& s, BeatType beatType)
{
    switch (beatType) {
    case BeatType::SimpleBeat: return &s.simpleBeat;
    case BeatType::BeatsPerBar: return &s.beatsPerBar;
    case BeatType::CustomPattern: return &s.customPattern;
    case BeatType::CustomRhythm: return &s.customRhythm;
    default: return nullptr;
    }
}

ITimerStrategy* TimerStrategyFor(Strategies& s, Trainer trainer)
{
    switch (trainer) {
    case Trainer::Off: return &s.standard;
    case Trainer::StepSequencerPreview: return &s.stepSequencer;
    default: return &s.speedTrainer;
    }
}

// The engine of `type` for run `index`. The MIDI engine serves both runs (preparing it again only
// renders more sounds); the audio-file engine's players belong to one run, so the second run has
// an engine of its own.
ISoundEngine* EngineFor(SoundEngines::Type type, int index)
{
    ISoundEngine* engine = SoundEngines::Get(type);
    if (type != SoundEngines::AudioFile || index == 0)
        return engine;
    // Made after the program's engines (above), so destroyed before the output they play on.
    static AudioSoundEngine second;
    return &second;
}

}  // namespace

Metronome::Metronome() : Metronome(Timer::Instance())
{
    _outputClock = &OutputClock::Instance();
    _closesProgramEngines = true;
}

Metronome::Metronome(Timer& timer)
    : _timer(timer), _strategies(std::make_unique<Strategies[]>(2)), _indicator(&noBeatIndicator)
{
}

Metronome::~Metronome()
{
    // Nothing may tick into objects that are going away, and nothing the last runs played may
    // still be letting go of the output, which goes away after this.
    _timer.Stop();
    _timer.Join();
    if (_closesProgramEngines)
        for (SoundEngines::Type type : {SoundEngines::Midi, SoundEngines::AudioFile})
            SoundEngines::Get(type)->FinishClosing();
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

void Metronome::Ticks::OnTimer()
{
    // The set playing changes only here, on this thread, inside TakeOver.
    _metronome.Current().strategy->OnTimer();
    _metronome._follower.AfterTick(_metronome.NowPlaying());
}

void Metronome::Ticks::BeforePlacedTick(std::int64_t& due)
{
    _metronome._follower.BeforePlacedTick(due);
}

void Metronome::Ticks::OnClockLost()
{
    _metronome.Current().strategy->OnClockLost();
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
    // What the last runs left: one that never took over, an engine a run took over from.
    Retract();
    CloseOpenedEngines(nullptr);
    _state.store(0, std::memory_order_release);
    // The output the engine starts waits at its server for the first tick, so that the first
    // buffer it plays carries the first click. A run that meets a session's beat plays on the
    // output's running frames instead.
    ISessionTimeline* session = Session();
    const bool holds = _outputClock != nullptr && _standIns.clock == nullptr && !(session && session->Enabled());
    if (holds)
        _outputClock->HoldStart();
    if (const std::int32_t code = Prepare(0, handler, settings, false)) {
        if (holds)
            _outputClock->Begun();
        return code;
    }
    // A run that goes on from this one may use another engine: this one closes when playing stops.
    NoteOpened(Current().strategy->GetSoundEngine());
    _follower.Begin(Current().strategy->CountInTicksLeft());
    const bool started = StartTimer(false);
    // On the output's frames the timer ends the wait after its first tick; on its own clock (no
    // output runs), there is nothing to wait for.
    if (holds && (!started || TimerClock() != _outputClock))
        _outputClock->Begun();
    if (!started)
        return Fail(0, TimerNotStarted);
    _paused = false;
    return Playing;
}

std::int32_t Metronome::Continue(IMetronomeEventHandler& handler, Configuration::ConfigurationData& settings,
                                 ChangeAt at, std::int32_t tag)
{
    if (!IsPlaying() || Current().strategy == nullptr)
        return TimerNotStarted;
    // One waiting already is replaced; one that took over meanwhile plays now, and the other
    // set is free.
    Retract();
    const int playing = PlayingIndex();
    const int index = playing ^ 1;
    if (const std::int32_t code = Prepare(index, handler, settings, true))
        return code;
    // Closed when playing stops (or by the next start): the run it serves may take over.
    NoteOpened(_runs[index].strategy->GetSoundEngine());
    _continuedVisual = _continuedVisual || _runs[index].strategy->IsVisual();
    _runs[index].tag = tag;
    // Nothing waits, so the timer thread leaves the word alone until this store.
    const std::uint32_t waiting = at == ChangeAt::BarLimit ? WaitingAtBarLimit : WaitingAtBarLine;
    _state.store(static_cast<std::uint32_t>(playing) | waiting, std::memory_order_release);
    return Playing;
}

void Metronome::CancelContinuation()
{
    if (!Retract())
        return;
    const Run& current = Current();
    const Run& dropped = _runs[PlayingIndex() ^ 1];
    ISoundEngine* engine = dropped.strategy->GetSoundEngine();
    if (engine != current.strategy->GetSoundEngine())
        engine->Close();
    if (dropped.strategy->IsVisual() && !current.strategy->IsVisual())
        _indicator->Hide();
}

bool Metronome::Retract() noexcept
{
    std::uint32_t state = _state.load(std::memory_order_acquire);
    while ((state & Waiting) != 0) {
        if (_state.compare_exchange_weak(state, state & 1, std::memory_order_acq_rel))
            return true;
    }
    return false;
}

bool Metronome::TakeOver(bool barsPlayed) noexcept
{
    std::uint32_t state = _state.load(std::memory_order_acquire);
    if ((state & Waiting) == 0)
        return false;
    if ((state & WaitingAtBarLimit) != 0 && !barsPlayed)
        return false;
    const std::uint32_t next = (state & 1) ^ 1;
    // Read before the word changes: from then on the user-interface thread may prepare the old
    // run's set anew.
    const bool wasVisual = _runs[state & 1].strategy->IsVisual();
    if (!_state.compare_exchange_strong(state, next, std::memory_order_acq_rel))
        return false;  // taken back meanwhile

    // Prepared before the word was stored, and left alone from then on.
    const Run& run = _runs[next];
    MetronomeStrategy* strategy = run.strategy;
    ITimerStrategy* timing = strategy->GetTimerStrategy();
    // This tick is the new run's first; its grid goes on from here at its own interval, and a
    // song's positions count from here.
    _timer.SetInterval(timing->GetInterval());
    _timer.NewOrigin();
    const TickTime tick = _timer.CurrentTick();
    if (wasVisual && !strategy->IsVisual())
        _indicator->Show(-1, tick.heardAt);
    if (IMetronomeEventHandler* handler = strategy->GetHandler())
        handler->OnContinued(run.tag, timing->GetTempo(), tick.heardAt);
    strategy->OnTimer();
    return true;
}

std::int32_t Metronome::Prepare(int index, IMetronomeEventHandler& handler, Configuration::ConfigurationData& settings,
                                bool continuing)
{
    const std::int32_t barLimit = std::exchange(_barLimit, 0);
    Strategies& objects = _strategies[index];
    Run& run = _runs[index];

    // A song is taken by the next start or continuation, whichever comes first.
    const bool song = _song.has_value();
    if (song)
        objects.songTiming.SetSong(*_song);
    _song.reset();

    MetronomeStrategy* strategy = song ? &objects.song : BeatStrategyFor(objects, BeatTypeOf(settings));
    if (strategy == nullptr)
        return BadBeatType;
    run.strategy = strategy;
    strategy->SetTimer(&_timer);
    strategy->SetSuccessor(this);
    if (const std::int32_t code = PrepareEngine(*strategy, settings, index))
        return code;
    strategy->SetHandler(&handler);
    PrepareShowing(*strategy, settings, barLimit, continuing);
    PrepareSounds(run, settings);
    if (const std::int32_t code = PrepareTiming(index, settings, song))
        return code;
    // Every sound the run plays needs its audio file: checked now, not at its first click.
    _soundWithoutFile = FirstSoundWithoutFile(*strategy, settings);
    if (_soundWithoutFile >= 0)
        return Fail(index, SoundHasNoFile);
    // A run that goes on from another tells its first tempo as it takes over.
    if (ITimerStrategy* timing = strategy->GetTimerStrategy(); !continuing && timing->ControlsTempo())
        handler.OnSpeedTrainerStarted(timing->GetTempo(), strategy->HasWarmUp());
    return Playing;
}

std::int32_t Metronome::PrepareEngine(MetronomeStrategy& strategy, Configuration::ConfigurationData& settings,
                                      int index)
{
    ISoundEngine* engine = _standIns.engine != nullptr ? _standIns.engine : EngineFor(SoundEngineOf(settings), index);
    strategy.SetSoundEngine(engine);
    if (engine == nullptr) {
        System::Log().Write(System::Error, "Core::Metronome::Start: no sound engine of type %u",
                            static_cast<unsigned>(settings.SoundEngineType));
        return SoundEngineFailed;
    }
    if (!engine->Initialise(settings))
        return SoundEngineFailed;
    return Playing;
}

void Metronome::PrepareShowing(MetronomeStrategy& strategy, const Configuration::ConfigurationData& settings,
                               std::int32_t barLimit, bool continuing)
{
    const bool visual = settings.VisualIndicator == 1;
    strategy.SetIndicator(_indicator);
    strategy.SetVisual(visual);
    strategy.SetFlash(_flash);
    strategy.SetMuted(_muted);
    strategy.SetMutedBars(_playedBars, _silentBars);
    strategy.SetBarLimit(barLimit);
    // An indicator that shows the run playing goes on showing the next one as it is.
    if (visual && !(continuing && Current().strategy->IsVisual()))
        _indicator->Prepare(settings);
}

void Metronome::PrepareSounds(Run& run, const Configuration::ConfigurationData& settings)
{
    MetronomeStrategy* strategy = run.strategy;
    strategy->ResetPosition();
    strategy->SetUserTempo(static_cast<std::int32_t>(SettingsRange::Bpm(settings)));
    strategy->SetWarmUp(settings.Warmup > 0.0f);
    strategy->SetBeep(settings.Beep == 1);

    strategy->SetVolumes(settings.Volume, settings.GlobalVolume);
    const bool midi = SoundEngineOf(settings) == SoundEngines::Midi;
    for (int voice = 0; voice < NumVoices; ++voice) {
        const std::uint32_t instrument = settings.Instrument[voice];
        run.instruments[voice] = instrument;
        strategy->SetSound(voice, midi ? PercussionTable::Note(instrument) : static_cast<std::int32_t>(instrument));
    }
}

std::int32_t Metronome::PrepareTiming(int index, Configuration::ConfigurationData& settings, bool song)
{
    Strategies& objects = _strategies[index];
    Run& run = _runs[index];
    MetronomeStrategy* strategy = run.strategy;
    std::int32_t secondary = 0;
    bool compound = false;
    if (BeatTypeOf(settings) == BeatType::CustomPattern && !song) {
        if (const std::int32_t code = CustomText::ValidatePlayablePattern(settings.CustomPattern))
            return Fail(index, code);
    }
    if (const std::int32_t code = strategy->CreatePattern(settings, settings.TicksPerBeat, secondary, compound))
        return Fail(index, code);
    if (secondary != 0)
        settings.TicksPerBeat *= secondary;

    ITimerStrategy* timing = song ? &objects.songTiming : TimerStrategyFor(objects, TrainerOf(settings));
    if (timing == nullptr)
        return Fail(index, NoTimerStrategy);
    strategy->SetTimerStrategy(timing);

    // The trainer and the count-in count a compound bar in its dotted beats.
    std::int32_t beatsPerBar = strategy->GetBeatsPerBar(settings);
    run.barBeats = compound ? beatsPerBar / 3.0 : beatsPerBar;
    if (compound)
        beatsPerBar = (beatsPerBar + 2) / 3;
    if (TrainerOf(settings) != Trainer::Off && !song) {
        settings.TrainerCurve = &SelectTrainerCurve(settings, objects.curves);
        if (settings.DurationsInBars != 0)
            settings.TrainerBeatsPerBar = beatsPerBar;
    }

    timing->Initialise(settings);
    PrepareCountIn(run, settings, beatsPerBar);
    return Playing;
}

std::int32_t Metronome::FirstSoundWithoutFile(const MetronomeStrategy& strategy,
                                              const Configuration::ConfigurationData& settings)
{
    std::uint32_t voices = strategy.VoicesUsed();
    if (TrainerOf(settings) != Trainer::Off && settings.Beep == 1)
        voices |= 1u << MetronomeStrategy::BeepVoice;
    if (strategy.CountInTicksLeft() > 0)
        voices |= 1u << MetronomeStrategy::CountInVoice;
    for (int voice = 0; voice < NumVoices; ++voice) {
        if ((voices & (1u << voice)) != 0 && !strategy.GetSoundEngine()->CanPlay(strategy.Sound(voice))) {
            System::Log().Write(System::Error,
                                "Sound %d plays audio file %d, which is not set; the metronome does "
                                "not start",
                                voice + 1, strategy.Sound(voice) + 1);
            return voice;
        }
    }
    return -1;
}

void Metronome::PrepareCountIn(Run& run, const Configuration::ConfigurationData& settings, std::int32_t beatsPerBar)
{
    MetronomeStrategy* strategy = run.strategy;
    const std::int32_t beats = _countIn.Beats(beatsPerBar);
    const std::int32_t volume = MetronomeStrategy::ScaledVolume(_countIn.volume, settings.GlobalVolume);
    // The MIDI engine plays the count-in's own instrument, rendered now like every voice's; the
    // audio-file engine has no such choice and counts in with the second voice's file.
    std::int32_t sound = strategy->Sound(MetronomeStrategy::CountInVoice);
    if (SoundEngineOf(settings) == SoundEngines::Midi) {
        sound = PercussionTable::Note(_countIn.instrument);
        if (auto* midi = dynamic_cast<MidiSoundEngine*>(strategy->GetSoundEngine()); midi != nullptr && beats > 0)
            midi->PrepareNote(sound, volume);
    }
    ITimerStrategy* timing = strategy->GetTimerStrategy();
    const std::int32_t ticksPerBeat = timing->TimerTicksPerBeat();
    strategy->SetCountIn(beats, ticksPerBeat, beatsPerBar, sound, volume);
    run.countInLength = timing->GetInterval() * static_cast<double>(beats * ticksPerBeat);
}

Timer::IClock* Metronome::TimerClock() const noexcept
{
    // The output's frames are the clock while it runs; without it (a test's engine), the
    // timer's own clock.
    if (_standIns.clock != nullptr)
        return _standIns.clock;
    return _outputClock != nullptr && _outputClock->Available() ? _outputClock : nullptr;
}

SessionFollower::Playing Metronome::NowPlaying() noexcept
{
    const int index = PlayingIndex();
    const Run& run = _runs[index];
    const Strategies& objects = _strategies[index];
    return {run.strategy, run.barBeats, run.strategy == &objects.song ? &objects.songTiming : nullptr};
}

bool Metronome::StartTimer(bool resume)
{
    const Interval interval = Current().strategy->GetTimerStrategy()->GetInterval();
    return _follower.StartTimer(NowPlaying(), _ticks, interval, TimerClock(), resume);
}

std::int32_t Metronome::Fail(int index, std::int32_t code) noexcept
{
    // Nothing plays after a failed start, so the output opened for it is closed again; the
    // settings and the chosen strategy stay as they were prepared. A run that was to go on from
    // the one playing leaves the engine they share open.
    ISoundEngine* engine = _runs[index].strategy->GetSoundEngine();
    const Run& other = _runs[index ^ 1];
    const bool shared =
        index != PlayingIndex() && other.strategy != nullptr && other.strategy->GetSoundEngine() == engine;
    if (engine != nullptr && !shared)
        engine->Close();
    return code;
}

void Metronome::NoteOpened(ISoundEngine* engine) noexcept
{
    for (ISoundEngine*& opened : _openedEngines) {
        if (opened == engine)
            return;
        if (opened == nullptr) {
            opened = engine;
            return;
        }
    }
}

void Metronome::CloseOpenedEngines(ISoundEngine* closed) noexcept
{
    for (ISoundEngine*& engine : _openedEngines) {
        if (engine != nullptr && engine != closed)
            engine->Close();
        engine = nullptr;
    }
}

void Metronome::StopOutput() noexcept
{
    MetronomeStrategy* strategy = Current().strategy;
    ISoundEngine* engine = strategy->GetSoundEngine();
    if (engine != nullptr)
        engine->Close();
    // Every engine the runs since the start used, and the indicator a continuation may have
    // started.
    CloseOpenedEngines(engine);
    if (strategy->IsVisual() || std::exchange(_continuedVisual, false))
        _indicator->Hide();
}

void Metronome::Stop()
{
    MetronomeStrategy* strategy = Current().strategy;
    if (strategy == nullptr)
        return;
    _timer.Stop();
    _timer.Join();
    _paused = false;
    Retract();
    strategy = Current().strategy;
    StopOutput();
    if (ISessionTimeline* session = Session(); session != nullptr && session->Enabled())
        session->ProposePlaying(false, HeardTime::Now());
    const std::int32_t tempo = strategy->UserTempo();
    if (tempo != 0 && strategy->GetHandler() != nullptr)
        strategy->GetHandler()->OnStopped(tempo);
}

void Metronome::TogglePause()
{
    MetronomeStrategy* strategy = Current().strategy;
    if (strategy == nullptr)
        return;
    if (_timer.IsRunning()) {
        // The output stays open and nobody is told: playing goes on where it stopped.
        _timer.Stop();
        _timer.Join();
        _paused = true;
        // A run may have taken over up to the last tick.
        strategy = Current().strategy;
        if (strategy->IsVisual())
            strategy->GetIndicator()->Show(-1, Moment());
        return;
    }
    if (!_paused)
        return;  // stopped, not paused: nothing to resume
    _paused = false;
    if (strategy->GetTimerStrategy() != nullptr)
        StartTimer(true);  // a thread that cannot start is logged there
}

void Metronome::SetTempo(std::int32_t bpm)
{
    const Run& run = Current();
    if (run.strategy == nullptr)
        return;
    ITimerStrategy* timing = run.strategy->GetTimerStrategy();
    if (timing == nullptr || timing->ControlsTempo())
        return;  // the speed trainer owns the tempo
    timing->SetTempo(bpm);
    // The tempo reported at the stop is the one played, brought into range as the strategy did.
    run.strategy->SetUserTempo(timing->GetTempo());
    _timer.SetInterval(timing->GetInterval());
    // A run that took over meanwhile keeps its own tempo: the grid goes on at its interval.
    if (const Run& now = Current(); &now != &run)
        _timer.SetInterval(now.strategy->GetTimerStrategy()->GetInterval());
}

void Metronome::SetSong(const Configuration::Song* song)
{
    if (song != nullptr)
        _song = *song;
    else
        _song.reset();
}

SongTimerStrategy::Heard Metronome::SongHeard() const noexcept
{
    return _strategies[PlayingIndex()].songTiming.Now();
}

bool Metronome::PlaysSong() const noexcept
{
    const int index = PlayingIndex();
    return _runs[index].strategy == &_strategies[index].song;
}

void Metronome::ApplyMuting() noexcept
{
    for (Run& run : _runs)
        if (run.strategy != nullptr) {
            run.strategy->SetMuted(_muted);
            run.strategy->SetMutedBars(_playedBars, _silentBars);
        }
}

void Metronome::SetVolumes(const std::uint32_t (&volumes)[NumVoices], std::uint32_t globalVolume)
{
    const Run& run = Current();
    if (run.strategy == nullptr)
        return;
    run.strategy->SetVolumes(volumes, globalVolume);
    // The MIDI engine plays sounds rendered ahead of time, one for each note and velocity; one
    // not rendered yet would be rendered at the click and heard late. Render the new ones now.
    if (auto* midi = dynamic_cast<MidiSoundEngine*>(run.strategy->GetSoundEngine())) {
        Configuration::ConfigurationData sounds;
        for (int voice = 0; voice < NumVoices; ++voice) {
            sounds.Instrument[voice] = run.instruments[voice];
            sounds.Volume[voice] = volumes[voice];
        }
        sounds.GlobalVolume = globalVolume;
        midi->PrepareSounds(sounds);
    }
}

}  // namespace Core
