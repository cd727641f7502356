#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

namespace Platform {

// The program's place in a network session of players sharing tempo, beat and phase (Ableton
// Link). Nothing is sent or received until Enable(true): the session's engine is made then.
// Times here are nanoseconds of Platform::Clock; the engine's own clock (microseconds of the
// raw monotonic clock) is converted at every call, so that the small drift between the two
// never reaches a beat.
//
// Threads: the engine calls back on a thread of its own; the listener must only hand over
// (post to its own thread). Capture and the snapshot queries belong to one thread (the timer's);
// everything else may be called from any thread. Nothing here is for the audio callback.
class LinkSession {
public:
    class IListener {
    public:
        virtual ~IListener() = default;
        virtual void OnPeers(std::size_t peers) = 0;
        virtual void OnTempo(double bpm) = 0;
        virtual void OnPlaying(bool playing) = 0;
    };

    LinkSession();
    ~LinkSession();
    LinkSession(const LinkSession&) = delete;
    LinkSession& operator=(const LinkSession&) = delete;

    // The program's session, made on first use (not enabled).
    static LinkSession& Instance();

    void Enable(bool enable);
    bool Enabled() const noexcept { return _enabled.load(std::memory_order_acquire); }
    // Start and stop together with the peers that ask for it too.
    void EnableStartStopSync(bool enable);
    bool StartStopSync() const noexcept { return _startStopSync.load(std::memory_order_acquire); }
    std::size_t Peers() const noexcept { return _peers.load(std::memory_order_acquire); }
    // Null: nobody is told. Returns once no call to the listener it replaces is under way, so the
    // old listener may go at once.
    void SetListener(IListener* listener);

    // The session's tempo now (any thread; 0 before the first Enable).
    double CurrentTempo() const;
    bool CurrentlyPlaying() const;

    // One thread: takes the session's timeline as it is now; the queries answer from it.
    void Capture();
    double Tempo() const;
    double BeatAt(std::int64_t time, double quantum) const;
    std::int64_t TimeAtBeat(double beat, double quantum) const;
    double PhaseAt(std::int64_t time, double quantum) const;
    bool IsPlaying() const;

    // Any thread: a tempo for every peer, the beat at `time` staying where it is; whether the
    // session plays from `time` on (told to the peers only with start and stop sync on).
    void ProposeTempo(double bpm, std::int64_t time);
    void ProposePlaying(bool playing, std::int64_t time);

private:
    struct Engine;
    Engine& Made();

    std::unique_ptr<Engine> _engine;
    std::atomic<Engine*> _made{nullptr};
    std::atomic<bool> _enabled{false};
    std::atomic<bool> _startStopSync{false};
    std::atomic<std::size_t> _peers{0};
    // Held while the engine's thread tells the listener, and while it is replaced.
    std::mutex _listenerLock;
    IListener* _listener = nullptr;
};

}  // namespace Platform
