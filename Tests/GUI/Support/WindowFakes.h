#pragma once

#include <map>
#include <string>
#include <utility>

#include <QMessageBox>
#include <QString>
#include <optional>
#include <vector>

#include "Configuration/ConfigurationData.h"
#include "Configuration/IConfiguration.h"
#include "Configuration/Song.h"
#include "Core/CountIn.h"
#include "Core/IMetronome.h"
#include "Core/IMetronomeEventHandler.h"

namespace Tests {

// A metronome that records what the window asks of it and answers as the real one does:
// Stop reports OnStopped at once, a start with the speed trainer reports its first tempo.
class FakeMetronome final : public Core::IMetronome {
public:
    std::int32_t Start(Core::IMetronomeEventHandler& eventHandler, Configuration::ConfigurationData& settings) override
    {
        ++starts;
        handler = &eventHandler;
        if (startCode != 0)
            return startCode;
        userTempo = static_cast<std::int32_t>(settings.Bpm);
        running = true;
        if (settings.SpeedTrainer != 0)
            eventHandler.OnSpeedTrainerStarted(trainerTempo, false);
        return 0;
    }
    void Stop() override
    {
        ++stops;
        running = paused = false;
        waiting = Continuation{};
        if (handler)
            handler->OnStopped(userTempo);
    }
    // The run ends by itself, reported as the timer thread reports it.
    void StopItself(std::int32_t tempo)
    {
        running = paused = false;
        handler->OnStopped(tempo);
    }
    void TogglePause() override
    {
        ++pauses;
        paused = !paused;
    }
    bool IsPlaying() const override { return running; }
    bool IsPaused() const override { return paused; }
    void SetTempo(std::int32_t bpm) override
    {
        tempos.push_back(bpm);
        userTempo = bpm;
    }
    void SetVolumes(const std::uint32_t (&volumes)[12], std::uint32_t globalVolume) override
    {
        lastVolume1 = volumes[0];
        lastGlobalVolume = static_cast<int>(globalVolume);
        ++volumeChanges;
    }
    void SetCountIn(const Core::CountIn& next) override { countIn = next; }

    void SetMuted(bool mute) override { muted = mute; }
    void SetMutedBars(std::int32_t played, std::int32_t silent) override { mutedBars = {played, silent}; }
    void SetBarLimit(std::int32_t bars) override { barLimit = bars; }
    std::int32_t Continue(Core::IMetronomeEventHandler& eventHandler, Configuration::ConfigurationData& settings,
                          ChangeAt at, std::int32_t tag) override
    {
        if (!running || continueCode != 0)
            return running ? continueCode : 2;
        handler = &eventHandler;
        waiting = Continuation{static_cast<std::int32_t>(settings.Bpm), at, tag, barLimit};
        continues.push_back(waiting);
        return 0;
    }
    void CancelContinuation() override { waiting = Continuation{}; }
    // The waiting run takes over, reported as the timer thread reports it.
    void TakeOver()
    {
        userTempo = waiting.bpm;
        const Continuation taken = std::exchange(waiting, Continuation{});
        handler->OnContinued(taken.tag, taken.bpm, Core::Moment());
    }
    std::int32_t SoundWithoutFile() const override { return soundWithoutFile; }
    void SetSong(const Configuration::Song* given) override
    {
        song = given != nullptr ? std::optional<Configuration::Song>(*given) : std::nullopt;
    }
    bool PlaysSong() const noexcept override { return running && song.has_value(); }
    Core::SongTimerStrategy::Heard SongHeard() const noexcept override { return heard; }

    std::optional<Configuration::Song> song;  // the one given for the next start
    Core::SongTimerStrategy::Heard heard;
    Core::IMetronomeEventHandler* handler = nullptr;
    bool muted = false;
    std::pair<std::int32_t, std::int32_t> mutedBars{0, 0};  // played, silent
    std::int32_t barLimit = 0;
    struct Continuation {
        std::int32_t bpm = 0;  // 0: none
        ChangeAt at = ChangeAt::BarLine;
        std::int32_t tag = -1;
        std::int32_t barLimit = 0;
    };
    Continuation waiting;                 // the one that takes over next
    std::vector<Continuation> continues;  // every one given
    std::int32_t continueCode = 0;
    std::int32_t startCode = 0;
    std::int32_t soundWithoutFile = -1;
    std::int32_t trainerTempo = 60;
    std::int32_t userTempo = 0;
    bool running = false;
    bool paused = false;
    int starts = 0;
    int stops = 0;
    int pauses = 0;
    int volumeChanges = 0;
    std::uint32_t lastVolume1 = 0;
    int lastGlobalVolume = -1;
    std::vector<std::int32_t> tempos;
    Core::CountIn countIn;
};

// Settings held in memory; Save is counted, not written.
class FakeConfiguration final : public Configuration::IConfiguration {
public:
    bool Load() override { return true; }
    bool Save() override
    {
        ++saves;
        savedBpm = settings.Bpm;
        return problem.empty();
    }
    std::string SaveProblem() const override { return problem; }
    Configuration::ConfigurationData& GetCurrentSettings() override { return settings; }
    char16_t* GetLanguage() override { return language; }
    bool IsPreset(const char16_t* name) override { return presets.count(name) != 0; }
    bool AddPreset(const Configuration::ConfigurationData&) override { return false; }
    Configuration::ConfigurationData* UpdatePreset(const Configuration::ConfigurationData&, const char16_t*) override
    {
        return nullptr;
    }
    bool LoadPreset(const char16_t* name) override
    {
        const auto found = presets.find(name);
        if (found == presets.end())
            return false;
        settings = found->second;
        return true;
    }
    bool DeletePreset(const char16_t* name) override { return presets.erase(name) != 0; }
    void EnumeratePresets(PresetCallback callback, void* context) override
    {
        for (const auto& [name, preset] : presets)
            callback(preset, context);
    }

    Configuration::ConfigurationData settings;
    // Presets by name.
    std::map<std::u16string, Configuration::ConfigurationData, std::less<>> presets;
    char16_t language[LanguageCapacity] = {};
    int saves = 0;
    std::uint32_t savedBpm = 0;
    std::string problem;  // set: every Save fails with it
};

// The message boxes shown, recorded instead of shown.
struct ShownBox {
    QMessageBox::Icon icon;
    QString title;
    QString text;
};

}  // namespace Tests
