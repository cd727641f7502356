#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Core/IBeatIndicator.h"
#include "Core/IMetronomeEventHandler.h"
#include "Core/ISoundEngine.h"
#include "Core/ITimerControl.h"

namespace Tests {

// Records every click; the click numbered `failAt` (0-based) fails with `failCode`.
class RecordingSoundEngine final : public Core::ISoundEngine {
public:
    struct Click {
        std::int32_t volume;
        std::int32_t sound;
        std::int64_t frame;
    };
    bool Initialise(Configuration::ConfigurationData&) override
    {
        ++initialised;
        return initialiseResult;
    }
    bool PlaySoundAt(std::int32_t volume, std::int32_t sound, Platform::OutputFrame frame) override
    {
        const bool ok = static_cast<int>(clicks.size()) != failAt;
        clicks.push_back({volume, sound, frame.Frame()});
        if (timeline != nullptr)
            timeline->push_back("click " + std::to_string(sound));
        lastResult = ok ? 0 : failCode;
        return ok;
    }
    void Close() override
    {
        ++closed;
        lastResult = 0;  // a successful close call of its own
    }
    std::uint32_t GetLastResult() override { return lastResult; }
    bool CanPlay(std::int32_t sound) const override { return sound != unplayable; }

    std::vector<std::int32_t> Sounds() const
    {
        std::vector<std::int32_t> sounds;
        for (const Click& click : clicks)
            sounds.push_back(click.sound);
        return sounds;
    }
    std::vector<std::int64_t> Frames() const
    {
        std::vector<std::int64_t> frames;
        for (const Click& click : clicks)
            frames.push_back(click.frame);
        return frames;
    }

    std::vector<Click> clicks;
    bool initialiseResult = true;
    std::int32_t unplayable = -1000;  // a sound CanPlay says no to
    int initialised = 0;
    int failAt = -1;
    std::uint32_t failCode = 0;
    std::uint32_t lastResult = 0;
    int closed = 0;
    // When set, every click is written here too (say, into a handler's log).
    std::vector<std::string>* timeline = nullptr;
};

// Writes every event as a line, in order: "started 60 1", "event 1 66", "stopped 120", "error 49",
// "continued 7 90".
class RecordingHandler final : public Core::IMetronomeEventHandler {
public:
    void OnSpeedTrainerStarted(std::int32_t tempo, bool hasWarmUp) override
    {
        log.push_back("started " + std::to_string(tempo) + " " + std::to_string(hasWarmUp));
    }
    void OnTimerEvent(std::int32_t events, std::int32_t tempo, Core::Moment) override
    {
        log.push_back("event " + std::to_string(events) + " " + std::to_string(tempo));
    }
    void OnStopped(std::int32_t tempo) override { log.push_back("stopped " + std::to_string(tempo)); }
    void OnError(std::int32_t messageId) override { log.push_back("error " + std::to_string(messageId)); }
    void OnContinued(std::int32_t tag, std::int32_t tempo, Core::Moment) override
    {
        log.push_back("continued " + std::to_string(tag) + " " + std::to_string(tempo));
    }

    std::vector<std::string> log;
};

// A timer that does not run by itself: the test calls OnTimer, and this records what the
// strategy asks of it.
class FakeTimer final : public Core::ITimerControl {
public:
    bool SetInterval(Core::Interval interval) override
    {
        intervals.push_back(interval.count());
        return true;
    }
    void Stop() override
    {
        running = false;
        ++stops;
    }
    bool IsRunning() const override { return running; }
    Core::TickTime CurrentTick() const override { return tick; }

    bool running = true;
    Core::TickTime tick;
    int stops = 0;
    std::vector<double> intervals;
};

class RecordingIndicator final : public Core::IBeatIndicator {
public:
    void Prepare(const Configuration::ConfigurationData&) override { ++prepared; }
    void Show(int voice, Core::Moment heardAt) override
    {
        shown.push_back(voice);
        heard.push_back(heardAt);
    }
    // A count shows as 100 + the count.
    void ShowCount(int count, Core::Moment heardAt) override { Show(100 + count, heardAt); }
    void Hide() override { ++hidden; }

    std::vector<int> shown;
    std::vector<Core::Moment> heard;
    int prepared = 0;
    int hidden = 0;
};

}  // namespace Tests
