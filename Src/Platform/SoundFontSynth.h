#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Platform/AutoResetEvent.h"
#include "Platform/LockFreeQueue.h"
#include "Platform/Mixer.h"
#include "Platform/Thread.h"

namespace Platform {

// The General MIDI percussion kit: a SoundFont synthesizer that renders each percussion note at
// a given velocity once, into a sound the mixer can start at any frame. (The synthesizer itself
// starts notes only on its own block boundaries; pre-rendered sounds have no such grid.) The
// synthesizer runs at the output's own rate, so no sound is resampled, and holds the percussion
// kit only (its zones and its samples): the SoundFont's other instruments stay on the disk.
// Rendering happens on the caller's thread or, for a note asked for while playing, on a worker
// thread, never on the audio thread. Sounds are kept until the process ends.
class SoundFontSynth {
public:
    // The rate the SoundFont is loaded at before an output asks for its own.
    static constexpr double SynthRate = 44100;
    // The rates the synthesizer renders at itself; an output beyond them gets its sounds resampled.
    static constexpr double MinSynthRate = 22050;
    static constexpr double MaxSynthRate = 96000;
    static constexpr int PercussionChannel = 9;  // channel 10, counted from 0
    static constexpr double MaxSeconds = 4.0;    // longer tails (a crash cymbal) are faded out

    SoundFontSynth();
    ~SoundFontSynth();
    SoundFontSynth(const SoundFontSynth&) = delete;
    SoundFontSynth& operator=(const SoundFontSynth&) = delete;

    static SoundFontSynth& Instance();

    // The SoundFont FluidSynth itself loads when it is given none (its "synth.default-soundfont"
    // setting, which the system's packages set); empty when it names none.
    static std::string DefaultSoundFont();
    // Loads `path` instead of the default (empty: the default). Before the first load.
    void UseSoundFont(std::string path);
    // Replaces the loaded SoundFont by `path` (empty: the default), rendering every sound afresh.
    // False (and logged, naming the file) when it cannot be loaded: the one loaded stays.
    bool ChangeSoundFont(std::string path);
    // Whether the synthesizer loads the percussion kit alone (the default) or the whole SoundFont
    // (which sounds the same, in a few megabytes more). Before the first load.
    void LoadKitOnly(bool kitOnly);
    // The SoundFont chosen: the one given, else the default.
    std::string SoundFontFile() const;
    // Why the last SoundFont tried could not be loaded, naming it; empty when it was.
    std::string LoadProblem() const;

    // Starts loading the SoundFont on a thread of its own (once), so that the program's start-up
    // does not wait for it.
    void LoadInBackground();
    // Waits for the loading (or loads now); false when no SoundFont could be loaded (logged).
    bool WaitUntilLoaded();

    // The sound of `note` at `velocity` at the output rate `rate`, rendered now when it is not
    // ready yet. Null when it cannot be rendered. Not for the audio thread or the tick path.
    const Sound* Prepare(int note, int velocity, double rate);
    // The sound if it is ready; never waits, never allocates.
    const Sound* Find(int note, int velocity, double rate) const noexcept;
    // For a sound that is not ready: renders it on the worker thread, then plays it through
    // `mixer` on output frame `frame` (at once, if that has passed by little; not at all if by much). False when it
    // cannot be asked.
    bool RenderLater(int note, int velocity, double rate, OutputFrame frame, Mixer* mixer) noexcept;
    // Starts the worker that RenderLater hands its notes to (once); false when it cannot start.
    bool StartWorker();
    // Waits until the worker has played every note handed to it (before a mixer goes away).
    void WaitForWorker();

private:
    struct OwnedSound {
        std::vector<float> samples;
        Sound sound;
    };
    struct Request {
        int note;
        int velocity;
        double rate;
        OutputFrame frame;
        Mixer* mixer;
    };

    struct LoadedKit;

    bool Load();
    // A synthesizer running at `rate` with `path` loaded, or null (logged); `kit` is what it
    // loaded instead of the file (null: the file), to be kept as long as the synthesizer.
    void* NewSynth(const std::string& path, double rate, std::unique_ptr<LoadedKit>& kit);
    // Runs the synthesizer at the rate that suits an output of `rate`; false when it cannot.
    bool UseRateFor(double rate);
    std::unique_ptr<OwnedSound> Render(int note, int velocity, double rate);
    void RunWorker();

    mutable std::mutex _lock;  // the synthesizer, the sound store and the SoundFont chosen
    void* _settings = nullptr;
    void* _synth = nullptr;
    std::unique_ptr<LoadedKit> _kit;  // what _synth loaded in place of the file
    bool _kitOnly = true;
    double _synthRate = SynthRate;  // the rate _synth runs at
    std::string _soundFont;         // empty: the default
    std::string _problem;
    std::atomic<int> _loadState{0};  // 0 not tried, 1 loaded, -1 failed
    Thread _loader;
    bool _loaderStarted = false;

    // The sounds ready for one note, by velocity.
    struct SoundRow {
        std::atomic<const Sound*> velocity[128]{};
    };
    // Every ready sound is forgotten, to be rendered afresh. Called with the lock held.
    void ForgetSounds() noexcept;

    std::atomic<double> _rate{0};  // the rate of the sounds in _sounds
    // By note: a row is made when a sound of its note is first stored, so that only the notes
    // the voices play take memory.
    std::atomic<SoundRow*> _sounds[128]{};
    std::vector<std::unique_ptr<SoundRow>> _rows;
    std::vector<std::unique_ptr<OwnedSound>> _store;  // every sound ever rendered

    LockFreeQueue<Request, 256> _requests;
    AutoResetEvent _wake;
    Thread _worker;
    std::atomic<bool> _workerStarted{false};
    std::atomic<int> _pending{0};  // requests handed over and not yet played
    std::atomic<bool> _stop{false};
};

}  // namespace Platform
