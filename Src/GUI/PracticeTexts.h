#pragma once

namespace GUI::PracticeTexts {

// The texts of the count-in, latency and practice-log windows: numbers in the language's Text
// group, from the first of them on, in this order.
constexpr int First = 18;
enum : int {
    MenuCountIn = First,
    MenuPracticeLog,
    CountInTitle,
    CountInGroup,
    CountInLength,
    Off,
    OneBar,
    TwoBars,
    OneBeat,
    Beats,  // "%1 beats"
    Sound,
    Volume,
    LatencyGroup,
    LatencyLabel,
    PracticeLogTitle,
    PracticeTime,
    Date,
    Time,
    Preset,
    Tempo,
    BeatType,
    Minutes,
    Trainer,
    Runs,
    TotalPerDay,
    Damaged,  // "%1 damaged lines were skipped."
    End
};

}  // namespace GUI::PracticeTexts
