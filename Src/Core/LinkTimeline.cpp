#include "Core/LinkTimeline.h"

#include "Platform/LinkSession.h"

namespace Core {

namespace {
std::int64_t Ns(Moment moment)
{
    return moment.time_since_epoch().count();
}
}  // namespace

LinkTimeline& LinkTimeline::Instance()
{
    static LinkTimeline timeline(Platform::LinkSession::Instance());
    return timeline;
}

bool LinkTimeline::Enabled() const
{
    return _session.Enabled();
}
std::size_t LinkTimeline::Peers() const
{
    return _session.Peers();
}
void LinkTimeline::Capture()
{
    _session.Capture();
}
double LinkTimeline::Tempo() const
{
    return _session.Tempo();
}
double LinkTimeline::BeatAt(Moment time, double quantum) const
{
    return _session.BeatAt(Ns(time), quantum);
}
Moment LinkTimeline::TimeAtBeat(double beat, double quantum) const
{
    return Moment(std::chrono::nanoseconds(_session.TimeAtBeat(beat, quantum)));
}
double LinkTimeline::PhaseAt(Moment time, double quantum) const
{
    return _session.PhaseAt(Ns(time), quantum);
}
bool LinkTimeline::IsPlaying() const
{
    return _session.IsPlaying();
}
void LinkTimeline::ProposeTempo(double bpm, Moment at)
{
    _session.ProposeTempo(bpm, Ns(at));
}
void LinkTimeline::ProposePlaying(bool playing, Moment at)
{
    _session.ProposePlaying(playing, Ns(at));
}

}  // namespace Core
