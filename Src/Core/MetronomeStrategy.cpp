#include "Core/MetronomeStrategy.h"

#include "Configuration/ConfigurationData.h"
#include "Core/CountIn.h"
#include "Core/HeardTime.h"
#include "Core/IBarLineSuccessor.h"
#include "Core/IBeatFlash.h"
#include "Core/IBeatIndicator.h"
#include "Core/IMetronomeEventHandler.h"
#include "Core/ISoundEngine.h"
#include "Core/ITimerControl.h"
#include "Core/ITimerStrategy.h"
#include "Core/SettingsRange.h"
#include "Platform/MultimediaResult.h"
#include "System/MultimediaError.h"

namespace Core {

MetronomeStrategy::MetronomeStrategy() noexcept
{
    for (int voice = 0; voice < NumVoices; ++voice) {
        _volumes[voice].store(0, std::memory_order_relaxed);
        _sounds[voice] = 0;
    }
    _pattern[0] = 0;
}

std::int32_t MetronomeStrategy::ScaledVolume(std::uint32_t volume, std::uint32_t globalVolume) noexcept
{
    const float scale = static_cast<float>(SettingsRange::Clamp(globalVolume, 0u, 100u) / 100.0);
    return static_cast<std::int32_t>(static_cast<float>(SettingsRange::Volume(volume)) * scale);
}

void MetronomeStrategy::SetVolumes(const std::uint32_t (&volumes)[NumVoices], std::uint32_t globalVolume) noexcept
{
    for (int voice = 0; voice < NumVoices; ++voice)
        _volumes[voice].store(ScaledVolume(volumes[voice], globalVolume), std::memory_order_relaxed);
}

void MetronomeStrategy::SetCountIn(std::int32_t beats, std::int32_t ticksPerBeat, std::int32_t beatsPerBar,
                                   std::int32_t sound, std::int32_t volume) noexcept
{
    _countInTicksPerBeat = ticksPerBeat < 1 ? 1 : ticksPerBeat;
    _countInTicksLeft = beats > 0 ? beats * _countInTicksPerBeat : 0;
    _countInTick = 0;
    _countInBarBeats = beatsPerBar;
    _countInSound = sound;
    _countInVolume = volume;
}

std::int32_t MetronomeStrategy::Volume(int voice) const noexcept
{
    return voice >= 0 && voice < NumVoices ? _volumes[voice].load(std::memory_order_relaxed) : 0;
}

void MetronomeStrategy::SetSound(int voice, std::int32_t sound) noexcept
{
    if (voice >= 0 && voice < NumVoices)
        _sounds[voice] = sound;
}

std::int32_t MetronomeStrategy::Sound(int voice) const noexcept
{
    return voice >= 0 && voice < NumVoices ? _sounds[voice] : 0;
}

std::uint16_t MetronomeStrategy::PatternEntry(std::int32_t index) const noexcept
{
    return index >= 0 && index < _patternLength ? _pattern[index] : 0;
}

void MetronomeStrategy::SetMutedBars(std::int32_t played, std::int32_t silent) noexcept
{
    const std::uint32_t pattern = played > 0 && silent > 0
        ? static_cast<std::uint32_t>(SettingsRange::ClampSigned(played, 1, 0xFFFF)) |
            static_cast<std::uint32_t>(SettingsRange::ClampSigned(silent, 1, 0xFFFF)) << 16
        : 0;
    _mutedBars.store(pattern, std::memory_order_relaxed);
}

bool MetronomeStrategy::PlayVoice(std::int32_t voice) noexcept
{
    if (voice < 0 || voice >= NumVoices || _silentBar || _muted.load(std::memory_order_relaxed))
        return true;
    std::int32_t volume = _volumes[voice].load(std::memory_order_relaxed);
    if (_volumeScale != 100)
        volume = volume * _volumeScale / 100;
    return _engine->PlaySoundAt(volume, _sounds[voice], _tick.frame);
}

void MetronomeStrategy::OnTimer()
{
    if (_timerStrategy == nullptr || _timer == nullptr || _engine == nullptr)
        return;

    _tick = _timer->CurrentTick();
    _handedOver = false;
    if (_countInTicksLeft > 0) {
        // The run's own strategies (the trainer's stages, the sequencer's cursor) start after it.
        CountInTick();
        return;
    }
    _currentEntry = _pattern[_position];
    const std::int32_t result = _timerStrategy->OnTick(_currentEntry);
    // A stop made meanwhile (from the user-interface thread) ends the tick here.
    if (!_timer->IsRunning())
        return;
    if (Interval current, next; _timerStrategy->PlaceTick(current, next))
        _timer->PlaceNextTick(current, next);

    // The trainer's beep sounds with a beat click: on this tick when it plays one, else with
    // the next one (a stage counted in minutes can end between beats).
    const bool beatClick = (result & ITimerStrategy::Advance) && (_currentEntry & BeatEntry);
    if (result & ITimerStrategy::Advance) {
        std::int32_t beats = 0;
        std::int32_t place = NextBarPlace(beats);
        if (!(_currentEntry & BeatEntry))
            place = -1;
        if (place == 0 && !BeginBar())
            return;
        if (!PlayEntry(_currentEntry, place, beats)) {
            StopWithError();
            return;
        }
        if (++_position >= _patternLength)
            _position = 0;
    }

    std::int32_t tempo = 0;
    if (result & ITimerStrategy::TempoChanged) {
        tempo = _timerStrategy->GetTempo();
        _timer->SetInterval(_timerStrategy->GetInterval());
        _beepPending = _beepPending || _beep;
    } else if ((result & ITimerStrategy::WarmupEnded) && _beep) {
        _beepPending = true;
    } else if (result & ITimerStrategy::TrainerEnded) {
        // A song's end is its next bar line: the run waiting to go on plays this tick.
        if (_timerStrategy->EndsOnBarLine() && _successor != nullptr && _successor->TakeOver(true)) {
            _handedOver = true;
            return;
        }
        StopAtEnd();
        return;
    }
    // A beep due in a silent bar waits for the first beat that sounds.
    if (_beepPending && beatClick && !_silentBar) {
        _beepPending = false;
        if (!PlayVoice(BeepVoice)) {
            StopWithError();
            return;
        }
    }

    if (result & ITimerStrategy::SongBar)
        tempo = _timerStrategy->GetTempo();
    if ((result & ITimerStrategy::EventBits) != 0 && _handler != nullptr)
        _handler->OnTimerEvent(result & ITimerStrategy::EventBits, tempo, _tick.heardAt);
}

bool MetronomeStrategy::BeginBar() noexcept
{
    // The bar after the last one asked for: its first beat is not played.
    const bool barsPlayed = _barLimit > 0 && ++_barsBegun > _barLimit;
    // A run prepared to go on from here plays this tick instead, on the same grid.
    if (_successor != nullptr && _successor->TakeOver(barsPlayed)) {
        _handedOver = true;
        return false;
    }
    if (barsPlayed) {
        if (_handler != nullptr)
            _handler->OnTimerEvent(IMetronomeEventHandler::BarsPlayed, 0, _tick.heardAt);
        StopAtEnd();
        return false;
    }
    const std::uint32_t muting = _mutedBars.load(std::memory_order_relaxed);
    const std::uint32_t played = muting & 0xFFFF, cycle = played + (muting >> 16);
    _silentBar = muting != 0 && static_cast<std::uint32_t>(_barsOfRun) % cycle >= played;
    ++_barsOfRun;
    return true;
}

bool MetronomeStrategy::PlayEntry(std::uint16_t entry, std::int32_t place, std::int32_t beats) noexcept
{
    std::int32_t shown = 0;
    bool ok = true;
    if (entry & BeatEntry) {
        shown = PlayBeat();
        ok = shown != -1;
    }
    // As the entry's clicks go out, the last one decides whether the entry failed.
    if (entry & PrimaryClick)
        ok = PlayVoice(PrimaryVoice);
    if (entry & SecondaryClick)
        ok = PlayVoice(SecondaryVoice);
    if (_indicator != nullptr && _visual) {
        if (entry & ShowBeat) {
            if (shown >= 0)
                _indicator->Show(shown, _tick.heardAt);
        } else if (entry & ClearIndicator) {
            _indicator->Show(-1, _tick.heardAt);
        }
    }
    if (_flash != nullptr && ok)
        PulseFlash(entry, place, beats, shown);
    return ok;
}

void MetronomeStrategy::CountInTick() noexcept
{
    const std::int32_t tick = _countInTick++;
    --_countInTicksLeft;
    if (tick % _countInTicksPerBeat != 0)
        return;
    // Muted, the count is only shown, as every click.
    if (!_muted.load(std::memory_order_relaxed) && !_engine->PlaySoundAt(_countInVolume, _countInSound, _tick.frame)) {
        StopWithError();
        return;
    }
    const std::int32_t count = CountIn::Count(tick / _countInTicksPerBeat, _countInBarBeats);
    // The count stays until the next count, or the run's first beat, replaces it.
    if (_indicator != nullptr && _visual)
        _indicator->ShowCount(count, _tick.heardAt);
    if (_flash != nullptr) {
        BeatPulse pulse;
        pulse.beat = count - 1;
        pulse.beats = _countInBarBeats > 0 ? _countInBarBeats : 4;  // a bar of no beats counts in four
        pulse.voice = count == 1 ? 0 : 1;
        pulse.heardAt = _tick.heardAt;
        _flash->Pulse(pulse);
    }
}

void MetronomeStrategy::PulseFlash(std::uint16_t entry, std::int32_t place, std::int32_t beats,
                                   std::int32_t shown) noexcept
{
    BeatPulse pulse;
    pulse.beats = beats;
    pulse.heardAt = _tick.heardAt;
    pulse.subdivisions = _gridPerBeat;
    pulse.silent = _silentBar || BarMuted();
    if ((entry & BeatEntry) && place >= 0) {
        pulse.beat = place;
        pulse.voice = shown;
    } else if ((entry & BeatEntry) || (entry & (PrimaryClick | SecondaryClick))) {
        // A step between beats (a rhythm's) or a subdivision click.
        pulse.voice = (entry & PrimaryClick) ? PrimaryVoice : (entry & SecondaryClick) ? SecondaryVoice : shown;
    } else {
        return;
    }
    _flash->Pulse(pulse);
}

void MetronomeStrategy::StopTimerAndOutput() noexcept
{
    _timer->Stop();
    _engine->Close();
    if (_visual && _indicator != nullptr)
        _indicator->Hide();
}

void MetronomeStrategy::StopWithError() noexcept
{
    // Read before Close: closing the device makes a call of its own.
    StopWithError(_engine->GetLastResult());
}

void MetronomeStrategy::OnClockLost()
{
    StopWithError(Platform::MmNotEnabled);
}

void MetronomeStrategy::StopWithError(std::uint32_t code) noexcept
{
    StopTimerAndOutput();
    if (_handler == nullptr)
        return;
    const std::int32_t tempo = UserTempo();
    if (tempo != 0)
        _handler->OnStopped(tempo);
    _handler->OnError(System::MultimediaMessageId(code));
}

void MetronomeStrategy::StopAtEnd() noexcept
{
    // The run's last click is handed over a lead before it sounds: closing the output's devices
    // at once would cut it. It is heard (and rings a moment) first.
    // A Stop meanwhile takes over: it closes and reports.
    if (!HeardTime::WaitUntil(_tick.heardAt + LastClickRing, [this] { return _timer->IsRunning(); }))
        return;
    StopTimerAndOutput();
    if (_handler != nullptr)
        _handler->OnStopped(UserTempo());
}

bool MetronomeStrategy::LeavesOutSubdivisions(const Configuration::ConfigurationData& settings) noexcept
{
    // A custom rhythm has its own subdivision, which it keeps at every tempo.
    if (settings.BeatType > 2 || SettingsRange::Bpm(settings) <= FastestSubdivided)
        return false;
    return SettingsRange::Subdivision1(settings) > 0 || (settings.BeatType != 0 && settings.CompoundTime == 1);
}

std::uint32_t MetronomeStrategy::VoicesUsed() const noexcept
{
    std::uint32_t voices = BeatVoices();
    for (std::int32_t i = 0; i < _patternLength; ++i) {
        if (_pattern[i] & PrimaryClick)
            voices |= 1u << PrimaryVoice;
        if (_pattern[i] & SecondaryClick)
            voices |= 1u << SecondaryVoice;
    }
    return voices;
}

bool MetronomeStrategy::ChooseSubdivisions(const Configuration::ConfigurationData& settings, bool compound,
                                           std::int32_t& primary, std::int32_t& secondary) noexcept
{
    std::int32_t p = static_cast<std::int32_t>(SettingsRange::Subdivision1(settings));
    std::int32_t s = p > 0 ? static_cast<std::int32_t>(SettingsRange::Subdivision2(settings)) : 0;
    bool stillCompound = compound;
    if (SettingsRange::Bpm(settings) > FastestSubdivided) {
        // Too fast for subdivisions: the beats alone.
        p = 0;
        s = 0;
        stillCompound = false;
    } else if (compound) {
        p = 3;
        s = 0;
    } else if (p == s) {
        s = 0;
    }
    primary = p;
    secondary = s;
    return stillCompound;
}

void MetronomeStrategy::BuildBeatPattern(std::int32_t primary, std::int32_t secondary, std::uint16_t ordinary,
                                         std::uint16_t middle) noexcept
{
    const std::int32_t p = SettingsRange::ClampSigned(primary, 0, 8);
    const std::int32_t s = SettingsRange::ClampSigned(secondary, 0, 8);
    // Beside a second subdivision (one rhythm against another), the first is the grid.
    _gridPerBeat = p > 0 ? p : 1;
    _pattern[0] = _visual ? (BeatEntry | ShowBeat) : BeatEntry;

    if (s != 0 && p != 0) {
        // p clicks of voice 4 and s clicks of voice 5 on a common grid of p * s ticks.
        const std::int32_t length = p * s;
        const std::int32_t half = _visual ? (length + 1) / 2 : -1;
        for (std::int32_t i = 1; i < length; ++i) {
            std::uint16_t entry = 0;
            if (i % s == 0)
                entry |= PrimaryClick;
            if (i % p == 0)
                entry |= SecondaryClick;
            if (i == half)
                entry |= ClearIndicator;
            _pattern[i] = entry;
        }
        _patternLength = length;
    } else if (p != 0) {
        const std::int32_t half = _visual ? (p + 1) / 2 : -1;
        for (std::int32_t i = 1; i < p; ++i)
            _pattern[i] = i == half ? middle : ordinary;
        _patternLength = p;
    } else if (_visual) {
        // Half a beat later the indicator goes dark.
        _pattern[1] = ClearIndicator;
        _patternLength = 2;
    } else {
        _patternLength = 1;
    }
}

void MetronomeStrategy::SetSilentPattern() noexcept
{
    _gridPerBeat = 1;
    _pattern[0] = 0;
    _patternLength = 1;
}

}  // namespace Core
