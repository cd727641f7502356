#pragma once

namespace Core {

// Whoever may go on from a bar line with a run of its own (the metronome, with the next settings
// prepared). Asked on the timer thread at the first beat of every bar, before it is played.
class IBarLineSuccessor {
public:
    virtual ~IBarLineSuccessor() = default;
    // `barsPlayed`: the bars the asking run was limited to are played. True when the next run
    // took this tick over (its first click is this tick's): the asking run then returns at once
    // and touches nothing of its own, which may be prepared anew from that moment.
    virtual bool TakeOver(bool barsPlayed) noexcept = 0;
};

}  // namespace Core
