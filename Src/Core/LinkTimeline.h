#pragma once

#include "Core/ISessionTimeline.h"

namespace Platform {
class LinkSession;
}

namespace Core {

// The network session (Platform::LinkSession) as the timeline the metronome follows.
class LinkTimeline final : public ISessionTimeline {
public:
    explicit LinkTimeline(Platform::LinkSession& session) noexcept : _session(session) {}
    // Over the program's session.
    static LinkTimeline& Instance();

    bool Enabled() const override;
    std::size_t Peers() const override;
    void Capture() override;
    double Tempo() const override;
    double BeatAt(Moment time, double quantum) const override;
    Moment TimeAtBeat(double beat, double quantum) const override;
    double PhaseAt(Moment time, double quantum) const override;
    bool IsPlaying() const override;
    void ProposeTempo(double bpm, Moment at) override;
    void ProposePlaying(bool playing, Moment at) override;

private:
    Platform::LinkSession& _session;
};

}  // namespace Core
