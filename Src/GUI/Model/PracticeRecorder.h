#pragma once

#include <functional>
#include <string>

#include "Configuration/PracticeLog.h"
#include "Core/HeardTime.h"
#include "GUI/Model/PracticeTime.h"

namespace Configuration {
struct ConfigurationData;
}

namespace Platform {
struct LocalTime;
}

namespace GUI {

// The practice log's side of playing: a run begins (with the settings it plays, at the local
// time of its start), pauses and resumes, ends; a run long enough is written to the log. The
// time practised since the program started is kept meanwhile.
class PracticeRecorder {
public:
    using Clock = std::function<Core::Moment()>;
    // Asked as a run ends: the timing of the coach's take of it, false when there is none.
    using TakeSource = std::function<bool(Configuration::PracticeTiming&)>;

    // Where the runs are logged (the file beside the configuration unless a test says otherwise).
    void SetLog(const Configuration::PracticeLog& log) { _log = log; }
    const Configuration::PracticeLog& Log() const noexcept { return _log; }
    // The clock the practice time is read from (the heard time's unless a test says otherwise).
    void SetClock(Clock clock) { _clock = std::move(clock); }
    void SetTakeSource(TakeSource source) { _takeSource = std::move(source); }

    // A run of `settings` begins at `now`; `song` names the song heard (null: none), which is
    // logged in place of the preset. A run still going on is ended first.
    void Begin(const Configuration::ConfigurationData& settings, const std::string* song,
               const Platform::LocalTime& now);
    void Pause(bool paused);
    // The run going on ends at `tempo`; false when none was going on.
    bool End(int tempo);
    bool Running() const noexcept { return _practice.Running(); }
    // The time practised since the program started, as "12:34".
    std::string SessionClock() const;

private:
    PracticeTime _practice;
    Configuration::PracticeLog _log;
    Configuration::PracticeRun _run;
    Clock _clock = &Core::HeardTime::Now;
    TakeSource _takeSource;
};

}  // namespace GUI
