#include "GUI/Model/PracticeRecorder.h"

#include <cmath>

#include "Configuration/ConfigurationData.h"
#include "Core/SettingsRange.h"
#include "Platform/LocalTime.h"
#include "Platform/Text.h"

namespace GUI {

void PracticeRecorder::Begin(const Configuration::ConfigurationData& settings, const std::string* song,
                             const Platform::LocalTime& now)
{
    // A run that stopped itself, its report still on the way, is logged before the next.
    End(static_cast<int>(Core::SettingsRange::Bpm(settings)));
    _run = Configuration::PracticeRun{};
    _run.year = now.Year;
    _run.month = now.Month;
    _run.day = now.Day;
    _run.hour = now.Hour;
    _run.minute = now.Minute;
    _run.preset = song ? *song : Platform::Text::Utf16ToUtf8(settings.PresetName);
    _run.beatType = Configuration::PracticeLog::BeatTypeName(settings.BeatType);
    if (settings.SpeedTrainer != 0) {
        const float bpm = static_cast<float>(Core::SettingsRange::Bpm(settings));
        _run.trainerFrom = static_cast<int>(std::lround(Core::SettingsRange::From(settings) * bpm));
        _run.trainerTo = static_cast<int>(std::lround(Core::SettingsRange::To(settings) * bpm));
    }
    _practice.Start(_clock());
}

void PracticeRecorder::Pause(bool paused)
{
    if (paused)
        _practice.Pause(_clock());
    else
        _practice.Resume(_clock());
}

bool PracticeRecorder::End(int tempo)
{
    if (!_practice.Running())
        return false;
    _run.minutes = _practice.Stop(_clock());
    _run.tempo = tempo;
    _run.timed = _takeSource && _takeSource(_run.timing);
    // A start and a stop at once (a try of the sound, a key pressed twice) is no practice.
    if (_run.minutes * 60 >= PracticeTime::ShortestLoggedSeconds)
        _log.Append(_run);  // a failure is logged there; playing is not held up by it
    return true;
}

std::string PracticeRecorder::SessionClock() const
{
    return PracticeTime::Clock(_practice.SessionSeconds(_clock()));
}

}  // namespace GUI
