#pragma once

#include <QString>

#include "GUI/LanguageTexts.h"
#include "System/ILanguage.h"

namespace GUI::CoachTexts {

// The numbers (in the language's "Text" group) of the timing coach's texts, from First on, in
// this order, gathered here so that they can be renumbered in one place.
constexpr int First = 174;
enum : int {
    MenuCoach = First,
    Title,
    InputLabel,
    LevelLabel,
    CalibrateButton,
    CalibrateHint,
    Calibrated,  // "Round trip: %1 ms"
    NotCalibrated,
    ManualOffset,
    MuteAlternate,
    StartTake,
    StopTake,
    SaveTake,
    Early,  // "%1 ms early"
    Late,   // "%1 ms late"
    OnTheBeat,
    Summary,  // "Mean %1 ms, consistency %2 ms, drift %3 ms per 30 s, %4 missed, %5 extra"
    OffsetOverTime,
    PerPosition,
    ConsistencyOverDays,
    SilentBars,
    NoInput,
    End
};

// Those added later, from Later on.
constexpr int Later = 197;
enum : int {
    ScoredOnBeats = Later,
    ScoredOnSubdivisions,  // "Scored on the beats and their subdivisions, %1 to a beat"
    MuteAlternateHint,
    SilentSummary,  // "In the silent bars: mean %1 ms, consistency %2 ms, %3 hits"
    LogMean,
    LogConsistency,
    LogDrift,
    LogHits,
    LaterEnd
};

// The text in the current language.
inline QString Text(int number)
{
    return LanguageTexts::Text(System::CurrentLanguage().GetText(number));
}

}  // namespace GUI::CoachTexts
