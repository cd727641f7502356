#include "Platform/LinkSession.h"

#include <chrono>
#include <cmath>
#include <mutex>
#include <optional>

#include <ableton/Link.hpp>

#include "Platform/Clock.h"

namespace Platform {

namespace {

// Link's time for a time of Platform::Clock, and back: the offset between the two clocks read
// now, between two readings of ours.
std::int64_t Offset(const ableton::Link& link)
{
    const std::int64_t before = Clock::Now();
    const std::int64_t linkNs = link.clock().micros().count() * 1000;
    const std::int64_t after = Clock::Now();
    return linkNs - (before + (after - before) / 2);
}

std::chrono::microseconds ToLink(std::int64_t time, std::int64_t offset)
{
    return std::chrono::microseconds(
        static_cast<std::int64_t>(std::llround(static_cast<double>(time + offset) / 1000.0)));
}

std::int64_t FromLink(std::chrono::microseconds time, std::int64_t offset)
{
    return time.count() * 1000 - offset;
}

}  // namespace

struct LinkSession::Engine {
    explicit Engine(double bpm) : link(bpm) {}
    ableton::Link link;
    // The capturing thread's own.
    std::optional<ableton::Link::SessionState> snapshot;
    std::int64_t offset = 0;
};

LinkSession::LinkSession() = default;

LinkSession::~LinkSession()
{
    if (Engine* engine = _made.load(std::memory_order_acquire)) {
        engine->link.enable(false);
        engine->link.setNumPeersCallback([](std::size_t) {});
        engine->link.setTempoCallback([](double) {});
        engine->link.setStartStopCallback([](bool) {});
    }
}

LinkSession& LinkSession::Instance()
{
    static LinkSession session;
    return session;
}

LinkSession::Engine& LinkSession::Made()
{
    static std::mutex lock;
    std::lock_guard<std::mutex> guard(lock);
    if (_engine == nullptr) {
        _engine = std::make_unique<Engine>(120.0);
        ableton::Link& link = _engine->link;
        link.setNumPeersCallback([this](std::size_t peers) {
            _peers.store(peers, std::memory_order_release);
            std::lock_guard<std::mutex> told(_listenerLock);
            if (_listener != nullptr)
                _listener->OnPeers(peers);
        });
        link.setTempoCallback([this](double bpm) {
            std::lock_guard<std::mutex> told(_listenerLock);
            if (_listener != nullptr)
                _listener->OnTempo(bpm);
        });
        link.setStartStopCallback([this](bool playing) {
            std::lock_guard<std::mutex> told(_listenerLock);
            if (_listener != nullptr)
                _listener->OnPlaying(playing);
        });
        _made.store(_engine.get(), std::memory_order_release);
    }
    return *_engine;
}

void LinkSession::SetListener(IListener* listener)
{
    std::lock_guard<std::mutex> guard(_listenerLock);
    _listener = listener;
}

void LinkSession::Enable(bool enable)
{
    if (!enable && _made.load(std::memory_order_acquire) == nullptr)
        return;
    Engine& engine = Made();
    engine.link.enableStartStopSync(_startStopSync.load(std::memory_order_acquire));
    engine.link.enable(enable);
    _enabled.store(enable, std::memory_order_release);
    if (!enable)
        _peers.store(0, std::memory_order_release);
}

void LinkSession::EnableStartStopSync(bool enable)
{
    _startStopSync.store(enable, std::memory_order_release);
    if (Engine* engine = _made.load(std::memory_order_acquire))
        engine->link.enableStartStopSync(enable);
}

double LinkSession::CurrentTempo() const
{
    Engine* engine = _made.load(std::memory_order_acquire);
    return engine != nullptr ? engine->link.captureAppSessionState().tempo() : 0.0;
}

bool LinkSession::CurrentlyPlaying() const
{
    Engine* engine = _made.load(std::memory_order_acquire);
    return engine != nullptr && engine->link.captureAppSessionState().isPlaying();
}

void LinkSession::Capture()
{
    Engine& engine = Made();
    engine.snapshot = engine.link.captureAppSessionState();
    engine.offset = Offset(engine.link);
}

double LinkSession::Tempo() const
{
    return _engine != nullptr && _engine->snapshot ? _engine->snapshot->tempo() : 0.0;
}

double LinkSession::BeatAt(std::int64_t time, double quantum) const
{
    if (_engine == nullptr || !_engine->snapshot)
        return 0;
    return _engine->snapshot->beatAtTime(ToLink(time, _engine->offset), quantum);
}

std::int64_t LinkSession::TimeAtBeat(double beat, double quantum) const
{
    if (_engine == nullptr || !_engine->snapshot)
        return 0;
    return FromLink(_engine->snapshot->timeAtBeat(beat, quantum), _engine->offset);
}

double LinkSession::PhaseAt(std::int64_t time, double quantum) const
{
    if (_engine == nullptr || !_engine->snapshot)
        return 0;
    return _engine->snapshot->phaseAtTime(ToLink(time, _engine->offset), quantum);
}

bool LinkSession::IsPlaying() const
{
    return _engine != nullptr && _engine->snapshot && _engine->snapshot->isPlaying();
}

void LinkSession::ProposeTempo(double bpm, std::int64_t time)
{
    Engine* engine = _made.load(std::memory_order_acquire);
    if (engine == nullptr)
        return;
    auto state = engine->link.captureAppSessionState();
    if (std::abs(state.tempo() - bpm) < 1e-6)
        return;
    state.setTempo(bpm, ToLink(time, Offset(engine->link)));
    engine->link.commitAppSessionState(state);
}

void LinkSession::ProposePlaying(bool playing, std::int64_t time)
{
    Engine* engine = _made.load(std::memory_order_acquire);
    if (engine == nullptr)
        return;
    auto state = engine->link.captureAppSessionState();
    if (state.isPlaying() == playing)
        return;
    state.setIsPlaying(playing, ToLink(time, Offset(engine->link)));
    engine->link.commitAppSessionState(state);
}

}  // namespace Platform
